#include "HintRouter.h"

#include "Hint.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace {

QString longPart(const QString& hint)
{
    const QByteArray text = hint.toUtf8();
    const std::string_view part = longHint(std::string_view(text.constData(), size_t(text.size())));
    return QString::fromUtf8(part.data(), qsizetype(part.size()));
}

bool containsPointer(const QWidget* window, const QPoint& globalPos)
{
    return window && window->isVisible() && window->frameGeometry().contains(globalPos);
}

// The highlighted item of the open menus: the deepest menu that has one, walking from the
// active popup up through the menus that opened it to the menu bar.
const QAction* highlightedMenuItem(QWidget* popup)
{
    for (QWidget* widget = popup; widget; widget = widget->parentWidget()) {
        if (auto* menu = qobject_cast<QMenu*>(widget)) {
            if (menu->activeAction())
                return menu->activeAction();
        } else if (auto* bar = qobject_cast<QMenuBar*>(widget)) {
            return bar->activeAction();
        } else {
            return nullptr;
        }
    }
    return nullptr;
}

// Whether an event may mean the pointer now rests somewhere else, or on another window: all
// but the clock's tick and the repaints and layouts that follow it.
bool mayMoveThePointer(QEvent::Type type)
{
    switch (type) {
    case QEvent::Timer:
    case QEvent::ZeroTimerEvent:
    case QEvent::UpdateRequest:
    case QEvent::UpdateLater:
    case QEvent::Paint:
    case QEvent::LayoutRequest:
    case QEvent::MetaCall:
    case QEvent::SockAct:
        return false;
    default:
        return true;
    }
}

} // namespace

HintRouter::HintRouter(QObject* parent) : QObject(parent)
{
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &HintRouter::onIdle);
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

bool HintRouter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
        trackStacking(qobject_cast<QWidget*>(watched), event->type() == QEvent::Show);
    if (mayMoveThePointer(event->type()))
        m_pointerKnown = false;
    return QObject::eventFilter(watched, event);
}

void HintRouter::trackStacking(QWidget* widget, bool shown)
{
    if (!widget || !widget->isWindow() || widget->windowType() == Qt::ToolTip ||
        widget->windowType() == Qt::Popup)
        return;
    std::erase_if(m_stacking, [widget](const QPointer<QWidget>& each) { return each == widget || !each; });
    if (shown)
        m_stacking.insert(m_stacking.begin(), widget);
}

void HintRouter::onIdle()
{
    // Qt drops the pointer's moves over a window a modal one blocks before any event
    // filter sees them, so while a modal window is open the display server is always asked.
    if (!m_pointerKnown || QApplication::activeModalWidget()) {
        m_pointer = QCursor::pos();
        m_pointerKnown = true;
    }
    updateAt(m_pointer);
}

void HintRouter::updateAt(const QPoint& globalPos)
{
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        const QAction* item = highlightedMenuItem(menu);
        setHint(item ? longPart(hintOf(item)) : QString());
        return;
    }
    const QWidget* control = controlAt(globalPos);
    setHint(control ? longPart(hintOf(control)) : QString());
}

QWidget* HintRouter::controlAt(const QPoint& globalPos) const
{
    QWidget* window = nullptr;
    for (const QPointer<QWidget>& shown : m_stacking) {
        if (containsPointer(shown, globalPos)) {
            window = shown;
            break;
        }
    }
    // A window shown before the router began watching: the modal one lies over the rest.
    if (!window && containsPointer(QApplication::activeModalWidget(), globalPos))
        window = QApplication::activeModalWidget();
    if (!window) {
        for (QWidget* candidate : QApplication::topLevelWidgets()) {
            const Qt::WindowType type = candidate->windowType();
            if (type != Qt::ToolTip && type != Qt::Popup && containsPointer(candidate, globalPos)) {
                window = candidate;
                break;
            }
        }
    }
    if (!window)
        return nullptr;
    QWidget* child = window->childAt(window->mapFromGlobal(globalPos));
    return child ? child : window;
}

QString HintRouter::hintOf(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        const QString hint = widget->property("hint").toString();
        if (!hint.isEmpty() || widget->isWindow())
            return hint;
    }
    return {};
}

QString HintRouter::hintOf(const QAction* action)
{
    if (!action)
        return {};
    if (const QMenu* submenu = action->menu())
        return submenu->property("hint").toString();
    return action->property("hint").toString();
}

void HintRouter::setHint(const QString& hint)
{
    if (hint == m_hint)
        return;
    m_hint = hint;
    emit hintChanged();
}
