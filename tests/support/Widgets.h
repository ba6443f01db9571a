// What the widget tests share: finding a window's controls by name, answering the modal
// windows a command opens, the colours a window draws and the checks of its scroll box.
#pragma once

#include <QFont>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QRgb>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QString>
#include <QTest>

#include <functional>

namespace support {

// The child of `parent` called `name`; the test program stops, naming it, when there is none.
template <typename T> T* control(const QObject* parent, const QString& name)
{
    T* found = parent->findChild<T*>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

// A message box as it showed: an empty caption when none showed.
struct MessageBoxSeen {
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // The class of the window the box is a transient child of.
    QString over;
    // The text shows as written, not read as markup: a file's name may look like some.
    bool asWritten = true;
};

// Runs `action`, accepting each message box it shows as soon as it shows; the boxes in order.
QList<MessageBoxSeen> catchBoxes(const std::function<void()>& action);

// The first of catchBoxes().
MessageBoxSeen catchBox(const std::function<void()>& action);

// Runs `action`, then the event loop until `done` (by default: until a box has shown),
// accepting the message box that shows meanwhile, as an answer that comes later brings one.
MessageBoxSeen catchBoxUntil(const std::function<void()>& action, const std::function<bool()>& done = {});

// Runs `action`, closing the modal window it opens as soon as it shows; that window's class
// name, or an empty text when none opened. `over`, when given, receives the class of the
// window it is a transient child of.
QString modalOpenedBy(const std::function<void()>& action, QString* over = nullptr);

// Moves the pointer onto `widget` (its middle, moved by `offset`) as a display server does: Qt's
// pointer position changes, and the window there hears of it unless a modal window blocks it.
void movePointerOnto(const QWidget* widget, QPoint offset = {});
// Moves the pointer from `window` to `global`, outside it: the window hears that it left.
void movePointerOff(const QWidget* window, QPoint global);

// The face a font is drawn with: a window font and its installed stand-in draw alike.
QString face(const QFont& font);

// `control`'s box in `window`'s coordinates.
QRect boxInWindow(const QWidget* window, const QWidget* control);

// The colours drawn inside `box` (window coordinates, clipped to the window) when the shown
// window is grabbed.
QSet<QRgb> coloursIn(QWidget* window, const QRect& box);

// The brightest red, green or blue part among `colours`.
int brightest(const QSet<QRgb>& colours);

// Checks a control as a window's .ui lays it out: its parent, its font (the pixel size, the
// weight, and the face it draws with: MS Sans Serif at 11 pixels, Times New Roman otherwise,
// or their stand-ins), the text and colour of a group box, a button or a label named "Label…",
// and its box. A label with a text sizes itself to it from where it stands and shows all of
// it; the stand-in face may run a pixel or two off the measured width.
void verifyControlLooks(const QWidget* widget, const QString& parentName, QRect geometry, const QString& text,
                        int pixelSize, bool bold, const QColor& colour);

// Checks a shown scroll box, at its top, as the windows lay theirs out: `content` seen through
// `view`, a 16-pixel vertical bar only, black behind; a click on the arrow moves the content
// eight pixels and one on the track a view's height, and a dragged thumb moves it on release,
// not while it is dragged. Leaves it scrolled.
void verifyScrollBox(QScrollArea* box, QSize content, QSize view);

// Checks that a window of type `Window` scrolled down to `bottom` and closed leaves the next
// one at the top of its scroll box "ScrollBox1".
template <typename Window> void verifyFreshWindowStartsAtTheTop(int bottom)
{
    {
        Window earlier;
        earlier.show();
        auto* bar = control<QScrollArea>(&earlier, "ScrollBox1")->verticalScrollBar();
        bar->setValue(bar->maximum());
        QCOMPARE(bar->value(), bottom);
        earlier.close();
    }
    Window fresh;
    fresh.show();
    QCOMPARE(control<QScrollArea>(&fresh, "ScrollBox1")->verticalScrollBar()->value(), 0);
    QCOMPARE(control<QScrollArea>(&fresh, "ScrollBox1")->widget()->pos(), QPoint(0, 0));
}

} // namespace support
