// The application hint: the long hint of whatever the pointer rests on, in any window of
// the program, looked up each time the event queue runs empty; while a menu is open, the
// long hint of its highlighted item.
#pragma once

#include <QObject>
#include <QString>

class PointerTracker;
class QAction;
class QWidget;

class HintRouter : public QObject {
    Q_OBJECT

public:
    explicit HintRouter(QObject* parent = nullptr);

    // The long hint now in force; empty over no window of the program.
    QString hint() const { return m_hint; }

    // Looks the hint up from where the pointer is now (the idle handler calls it).
    void update();

    // The full hint text of `widget` or, when empty, of the nearest enclosing control or
    // window with a non-empty one.
    static QString hintOf(const QWidget* widget);
    // The full hint text of a menu item (a submenu's hint lives on the submenu).
    static QString hintOf(const QAction* action);

signals:
    // Emitted only when the application hint changes to a different text.
    void hintChanged();

private:
    void setHint(const QString& hint);

    PointerTracker* m_pointer;
    QString m_hint;
};
