#include "PointerTracker.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace {

// The windows that hold controls: not tooltips, and not menus, whose items give their own hints.
bool isForm(const QWidget* widget)
{
    if (!widget || !widget->isWindow())
        return false;
    const Qt::WindowType type = widget->windowType();
    return type != Qt::ToolTip && type != Qt::Popup;
}

QWidget* widgetShownIn(const QObject* window)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window)
            return widget;
    }
    return nullptr;
}

// Every secondary window is modal to the whole program: while one is open, it blocks all the
// others, and Qt tells them nothing about the pointer, not even that it came or went.
bool isBlocked(const QWidget* window)
{
    const QWidget* modal = QApplication::activeModalWidget();
    return modal && modal != window;
}

QMargins frameMargins(const QWidget* window)
{
    return window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
}

QWidget* controlAt(QWidget* window, QPoint local)
{
    QWidget* child = window->childAt(local);
    return child ? child : window;
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

PointerTracker::PointerTracker(QObject* parent) : QObject(parent), m_seenAt(QCursor::pos())
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

bool PointerTracker::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType()) {
        trackStacking(static_cast<QWidget*>(watched), type == QEvent::Show);
        // A window that is hidden no longer holds the pointer, whether or not Qt says it left.
        if (type == QEvent::Hide && watched == m_holder)
            m_holderLeft = true;
    }
    if (watched->isWindowType()) {
        if (type == QEvent::Enter || type == QEvent::MouseMove) {
            const auto* pointer = static_cast<const QSinglePointEvent*>(event);
            pointerIn(widgetShownIn(watched), pointer->position().toPoint(),
                      pointer->globalPosition().toPoint());
        } else if (type == QEvent::Leave && m_holder && m_holder->windowHandle() == watched &&
                   !isUnderAModalWindow(m_holder)) {
            m_holderLeft = true;
            m_leftForAMenu = QApplication::activePopupWidget() != nullptr;
        } else if (type == QEvent::WindowUnblocked) {
            windowUnblocked(widgetShownIn(watched));
        }
    }
    if (mayMoveThePointer(type))
        m_pointerKnown = false;
    return QObject::eventFilter(watched, event);
}

void PointerTracker::pointerIn(QWidget* window, QPoint local, QPoint global)
{
    if (!isForm(window))
        return;
    m_holder = window;
    m_local = local;
    m_seenAt = global;
    m_leftForAMenu = false;
    // A window that holds the pressed button hears of the pointer outside it too.
    m_holderLeft = !window->rect().contains(local);
}

// Qt also tells a window the pointer left when a modal window opens over it, though the
// pointer has not moved. The modal window is on the screen by then, but Qt does not yet
// count it as the active one.
bool PointerTracker::isUnderAModalWindow(const QWidget* window) const
{
    for (const QPointer<QWidget>& above : m_stacking) {
        if (above == window)
            return false;
        if (above && above->isModal())
            return true;
    }
    return false;
}

void PointerTracker::windowUnblocked(QWidget* window)
{
    // When the modal window over it closes, nothing crosses into the window below: the pointer
    // stays where the last lookup found it.
    if (window && window == m_found)
        pointerIn(window, m_foundLocal, m_pointer);
}

void PointerTracker::trackStacking(QWidget* widget, bool shown)
{
    if (!isForm(widget))
        return;
    std::erase_if(m_stacking, [widget](const QPointer<QWidget>& each) { return each == widget || !each; });
    if (shown)
        m_stacking.insert(m_stacking.begin(), widget);
}

QWidget* PointerTracker::controlUnderPointer()
{
    m_found = nullptr;
    if (m_holder && m_holder->isVisible() && !m_holderLeft && !isBlocked(m_holder))
        return controlAt(m_holder, m_local);
    return lookUpByPosition();
}

// Where Qt reports nothing, the pointer's position decides: over a window a modal one blocks,
// and over the frame a window manager draws. Qt's position is its own: on X11 the display
// server's, on Wayland the place in the last window it reported, as that window maps its own.
QWidget* PointerTracker::lookUpByPosition()
{
    // A position that has not moved since the pointer left the last window Qt reported it in
    // is where Wayland left it: the pointer is over no window of the program. Unless a menu
    // took it: the menu closes with the pointer where it was, and if a modal window opened
    // meanwhile, Qt drops the window's word that the pointer is back.
    const QPoint pointer = pointerPosition();
    if (m_holderLeft && !m_leftForAMenu && pointer == m_seenAt)
        return nullptr;
    std::vector<QWidget*> candidates(m_stacking.begin(), m_stacking.end());
    // Windows shown before the tracker began watching: the modal one lies over the rest.
    candidates.push_back(QApplication::activeModalWidget());
    for (QWidget* window : QApplication::topLevelWidgets())
        candidates.push_back(window);
    for (QWidget* window : candidates) {
        if (!isForm(window) || !window->isVisible())
            continue;
        const QPoint local = window->mapFromGlobal(pointer);
        const QRect client = window->rect();
        // Over a window that takes input, Qt reports the pointer itself: only its frame is left.
        const bool holds = client.marginsAdded(frameMargins(window)).contains(local) &&
                           (isBlocked(window) || !client.contains(local));
        if (holds) {
            m_found = window;
            m_foundLocal = local;
            return controlAt(window, local);
        }
    }
    return nullptr;
}

QPoint PointerTracker::pointerPosition()
{
    // Qt drops the pointer's moves over a window a modal one blocks before any event filter
    // sees them, so while a modal window is open the position is always asked for again.
    if (!m_pointerKnown || QApplication::activeModalWidget()) {
        m_pointer = QCursor::pos();
        m_pointerKnown = true;
    }
    return m_pointer;
}
