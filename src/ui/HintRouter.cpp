#include "HintRouter.h"

#include "Hint.h"
#include "PointerTracker.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
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

} // namespace

HintRouter::HintRouter(QObject* parent) : QObject(parent), m_pointer(new PointerTracker(this))
{
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &HintRouter::update);
}

void HintRouter::update()
{
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        const QAction* item = highlightedMenuItem(menu);
        setHint(item ? longPart(hintOf(item)) : QString());
        return;
    }
    const QWidget* control = m_pointer->controlUnderPointer();
    setHint(control ? longPart(hintOf(control)) : QString());
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
