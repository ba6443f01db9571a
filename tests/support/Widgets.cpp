#include "Widgets.h"

#include <QApplication>
#include <QCursor>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyleOptionSlider>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace support {

namespace {

QString transientParentOf(const QWidget* window)
{
    const QWindow* parent = window->windowHandle() ? window->windowHandle()->transientParent() : nullptr;
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        if (parent && widget->windowHandle() == parent)
            return widget->metaObject()->className();
    }
    return {};
}

MessageBoxSeen seen(const QMessageBox* shown)
{
    const bool asWritten = shown->textFormat() == Qt::PlainText ||
                           (shown->textFormat() == Qt::AutoText && !Qt::mightBeRichText(shown->text()));
    return {shown->windowTitle(), shown->text(), shown->icon(), transientParentOf(shown), asWritten};
}

} // namespace

QList<MessageBoxSeen> catchBoxes(const std::function<void()>& action)
{
    QList<MessageBoxSeen> boxes;
    // Ends the watch with this call, so a box shown later is left to whoever shows it. It
    // watches all along: a box may come with an answer the action waits for.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&boxes] {
        if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes.append(seen(shown));
            shown->accept();
        }
    });
    watch.start(1);
    action();
    return boxes;
}

MessageBoxSeen catchBox(const std::function<void()>& action)
{
    const QList<MessageBoxSeen> boxes = catchBoxes(action);
    return boxes.isEmpty() ? MessageBoxSeen() : boxes.first();
}

void movePointerOnto(const QWidget* widget, QPoint offset)
{
    QWidget* window = widget->window();
    const QPoint local = widget->mapTo(window, widget->rect().center() + offset);
    const QPoint global = window->mapToGlobal(local);
    QCursor::setPos(global);
    QCoreApplication::processEvents();
    const QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == window) {
        QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window->windowHandle(), &move);
    }
}

void movePointerOff(const QWidget* window, QPoint global)
{
    QCursor::setPos(global);
    QCoreApplication::processEvents();
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(window->windowHandle(), &leave);
}

MessageBoxSeen catchBoxUntil(const std::function<void()>& action, const std::function<bool()>& done)
{
    MessageBoxSeen box;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&box] {
        if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box = seen(shown);
            shown->accept();
        }
    });
    watch.start(5);
    action();
    const std::function<bool()> shown = [&box] { return !box.caption.isEmpty(); };
    if (!QTest::qWaitFor(done ? done : shown, 15000))
        qWarning("catchBoxUntil: still not done after 15 s");
    return box;
}

QString modalOpenedBy(const std::function<void()>& action, QString* over)
{
    QString opened;
    QTimer::singleShot(0, [&opened, over] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = modal->metaObject()->className();
            if (over)
                *over = transientParentOf(modal);
            modal->close();
        }
    });
    action();
    return opened;
}

QString face(const QFont& font)
{
    return QFontInfo(font).family();
}

QRect boxInWindow(const QWidget* window, const QWidget* control)
{
    return QRect(control->mapTo(window, QPoint(0, 0)), control->size());
}

QSet<QRgb> coloursIn(QWidget* window, const QRect& box)
{
    const QImage image = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect seen = box.intersected(image.rect());
    QSet<QRgb> colours;
    for (int y = seen.top(); y <= seen.bottom(); ++y)
        for (int x = seen.left(); x <= seen.right(); ++x)
            colours.insert(image.pixel(x, y) & 0xffffff);
    return colours;
}

int brightest(const QSet<QRgb>& colours)
{
    int most = 0;
    for (QRgb colour : colours)
        most = std::max({most, qRed(colour), qGreen(colour), qBlue(colour)});
    return most;
}

void verifyControlLooks(const QWidget* widget, const QString& parentName, QRect geometry, const QString& text,
                        int pixelSize, bool bold, const QColor& colour)
{
    QCOMPARE(widget->parentWidget()->objectName(), parentName);
    QCOMPARE(widget->font().pixelSize(), pixelSize);
    QCOMPARE(widget->font().bold(), bold);
    QCOMPARE(face(widget->font()), face(QFont(pixelSize == 11 ? "MS Sans Serif" : "Times New Roman")));
    const auto* label = qobject_cast<const QLabel*>(widget);
    if (auto* group = qobject_cast<const QGroupBox*>(widget)) {
        QCOMPARE(group->title(), text);
        QCOMPARE(widget->palette().color(QPalette::WindowText), colour);
    } else if (auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        QCOMPARE(button->text(), text);
        if (qobject_cast<const QPushButton*>(widget))
            QCOMPARE(widget->palette().color(QPalette::ButtonText), colour);
    } else if (label && widget->objectName().startsWith("Label")) {
        QCOMPARE(label->text(), text);
        QCOMPARE(widget->palette().color(QPalette::WindowText), colour);
    }
    if (text.isEmpty() || !label) {
        QCOMPARE(widget->geometry(), geometry);
        return;
    }
    QCOMPARE(widget->pos(), geometry.topLeft());
    QCOMPARE(widget->height(), geometry.height());
    QVERIFY(widget->width() >= widget->fontMetrics().horizontalAdvance(text));
    QVERIFY2(qAbs(widget->width() - geometry.width()) <= 3, qPrintable(QString::number(widget->width())));
}

void verifyScrollBox(QScrollArea* box, QSize content, QSize view)
{
    QScrollBar* bar = box->verticalScrollBar();
    QCOMPARE(box->widget()->size(), content);
    QCOMPARE(box->viewport()->size(), view);
    QCOMPARE(bar->width(), 16);
    QVERIFY(bar->isVisible());
    QVERIFY(!box->horizontalScrollBar()->isVisible());
    QCOMPARE(bar->maximum(), content.height() - view.height());
    QCOMPARE(box->viewport()->palette().color(box->viewport()->backgroundRole()), QColor(Qt::black));

    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = Qt::Vertical;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.pageStep = bar->pageStep();
    const auto centreOf = [&](QStyle::SubControl part) {
        return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).center();
    };
    QTest::mouseClick(bar, Qt::LeftButton, {}, centreOf(QStyle::SC_ScrollBarAddLine));
    QCOMPARE(box->widget()->y(), -8);
    QTest::mouseClick(bar, Qt::LeftButton, {}, centreOf(QStyle::SC_ScrollBarAddPage));
    QCOMPARE(box->widget()->y(), -8 - view.height());

    bar->setSliderDown(true);
    bar->setSliderPosition(200);
    QCOMPARE(box->widget()->y(), -8 - view.height());
    bar->setSliderDown(false);
    QCOMPARE(box->widget()->y(), -200);
}

} // namespace support
