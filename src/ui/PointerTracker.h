// Where the pointer is: in which of the program's windows and where inside it, from what Qt
// reports to those windows. The same on X11 and on Wayland, where a program knows neither where
// its windows are on the screen nor where the pointer is outside them.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <vector>

class QEvent;
class QWidget;
class QWindow;

class PointerTracker : public QObject {
    Q_OBJECT

public:
    explicit PointerTracker(QObject* parent = nullptr);

    // The control under the pointer, the window itself where it has none there; null over no
    // window of the program. Hidden controls do not count, disabled ones do.
    QWidget* controlUnderPointer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pointerIn(QWidget* window, QPoint local, QPoint global);
    bool isUnderAModalWindow(const QWidget* window) const;
    void windowUnblocked(QWidget* window);
    void trackStacking(QWidget* widget, bool shown);
    QWidget* lookUpByPosition();
    QPoint pointerPosition();

    // The window Qt last reported the pointer in, where, and Qt's own position of it then.
    QPointer<QWidget> m_holder;
    QPoint m_local;
    QPoint m_seenAt;
    // Qt reported the pointer leaving the holder. Until Qt says more, the pointer is outside
    // every window Qt reports on; on Wayland, Qt's position of it then stays where it left.
    bool m_holderLeft = true;
    // It left as a menu of the program opened: the menu took the pointer, which need not have
    // moved.
    bool m_leftForAMenu = false;
    // The window and place the last lookup by position found; it keeps the pointer when its
    // modal window closes, though nothing crosses into it then.
    QPointer<QWidget> m_found;
    QPoint m_foundLocal;
    // Qt's position of the pointer at the last lookup. Asking the display server costs a
    // round trip on X11, so it is asked again only after an event that may have moved the
    // pointer or a window (the clock's tick and the repaint it causes do not).
    QPoint m_pointer;
    bool m_pointerKnown = false;
    // The program's visible windows, the last shown first: each window opens over the ones
    // before it (a modal window over the window that opened it, an error box over that),
    // and with no window manager Qt itself does not know the stacking order.
    std::vector<QPointer<QWidget>> m_stacking;
};
