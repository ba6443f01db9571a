// The application hint: the long hint of whatever the pointer rests on, in any window of
// the program, looked up each time the event queue runs empty; while a menu is open, the
// long hint of its highlighted item.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <vector>

class QAction;
class QEvent;
class QWidget;

class HintRouter : public QObject {
    Q_OBJECT

public:
    explicit HintRouter(QObject* parent = nullptr);

    // The long hint now in force; empty over no window of the program.
    QString hint() const { return m_hint; }

    // Looks up the hint for a pointer at `globalPos` (the idle handler passes the cursor).
    void updateAt(const QPoint& globalPos);

    // The full hint text of `widget` or, when empty, of the nearest enclosing control or
    // window with a non-empty one.
    static QString hintOf(const QWidget* widget);
    // The full hint text of a menu item (a submenu's hint lives on the submenu).
    static QString hintOf(const QAction* action);
    // The control under `globalPos`, in the window that lies uppermost there; hidden
    // controls do not count.
    QWidget* controlAt(const QPoint& globalPos) const;

signals:
    // Emitted only when the application hint changes to a different text.
    void hintChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onIdle();
    void trackStacking(QWidget* widget, bool shown);
    void setHint(const QString& hint);

    QString m_hint;
    // Where the pointer was at the last lookup. Asking the display server costs a round
    // trip, so it is asked again only after an event that may have moved the pointer or a
    // window (the clock's tick and the repaint it causes do not), and while a modal window
    // is open.
    QPoint m_pointer;
    bool m_pointerKnown = false;
    // The program's visible windows, the last shown first: each window opens over the ones
    // before it (a modal window over the window that opened it, an error box over that),
    // and with no window manager Qt itself does not know the stacking order.
    std::vector<QPointer<QWidget>> m_stacking;
};
