// The games list window: its 164 titles and the note, the place and looks of every control,
// its scroll box, and that clicks, keys and hints leave it alone.
#include "HintRouter.h"
#include "OrvelaneApplication.h"
#include "ScrollBox.h"
#include "Unit6.h"
#include "Widgets.h"

#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

namespace {

using support::brightest;
using support::control;
using support::face;

QStringList linesOf(const TForm6& form, const char* viewer)
{
    return control<QTextEdit>(&form, viewer)->toPlainText().split('\n');
}

QStringList titles(const TForm6& form)
{
    return linesOf(form, "RichEdit1");
}

// The colours drawn inside `control`'s box when its shown window is grabbed.
QSet<QRgb> coloursOf(QWidget* window, const QWidget* control)
{
    return support::coloursIn(window, support::boxInWindow(window, control));
}

} // namespace

class GamesListTest : public QObject {
    Q_OBJECT

private slots:
    void listHolds164TitlesFromFirstToLast()
    {
        TForm6 form;
        const QStringList list = titles(form);
        QCOMPARE(list.size(), 164);
        QCOMPARE(list.first(), "2020 Super Baseball");
        QCOMPARE(list.at(81), "Mystic Man");
        QCOMPARE(list.last(), "Zupapa!" + QString(14, ' '));
    }

    void titleStandsAtItsPlace_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("title");
        QTest::newRow("Futsal") << 45 << "Futsal";
        QTest::newRow("Fu'un after Futsal") << 46 << "Fu'un Super Tag Battle";
        QTest::newRow("Palu Star") << 95 << "Palu Star (Pulstar)";
        QTest::newRow("Pulstar") << 99 << "Pulstar (Palu Star)";
        QTest::newRow("Drift Out without a blank") << 30 << "Drift Out:New Technology";
        QTest::newRow("King of Fighters without a blank") << 58 << "King of Fighters'96 CD";
        QTest::newRow("Savege as spelt") << 123 << "Savege Reign 2: Kizuna Encounter";
        QTest::newRow("Last Resort") << 66 << "Last Resort, the";
        QTest::newRow("Voltage Fighter") << 151 << "Voltage Fighter - Gowkaizer";
        QTest::newRow("World Soccer") << 161 << "World Soccer '96";
    }
    void titleStandsAtItsPlace()
    {
        QFETCH(int, number);
        QFETCH(QString, title);
        TForm6 form;
        QCOMPARE(titles(form).value(number - 1), title);
    }

    void titlesAreAlphabeticalWhenApostrophesAreIgnored()
    {
        TForm6 form;
        const QStringList list = titles(form);
        for (qsizetype i = 1; i < list.size(); ++i) {
            const QString before = QString(list.at(i - 1)).remove('\'');
            const QString after = QString(list.at(i)).remove('\'');
            QVERIFY2(before.compare(after, Qt::CaseInsensitive) < 0, qPrintable(list.at(i)));
        }
    }

    void noteHasItsSixLines()
    {
        TForm6 form;
        const QStringList note = linesOf(form, "RichEdit2");
        QCOMPARE(note.size(), 6);
        QCOMPARE(note.at(0), "- If you want  to know  more about the");
        QCOMPARE(note.at(1), "  Games of  NEO-GEO, take a look to");
        QVERIFY(
            QRegularExpression("^  the   \\S.*\\S  v1\\.x   DataBase   of$").match(note.at(2)).hasMatch());
        QVERIFY(QRegularExpression("^  \\S.*\\S\\.$").match(note.at(3)).hasMatch());
        QCOMPARE(note.at(4), "  ");
        QVERIFY(QRegularExpression("^       [\\w.]+@example\\.org$").match(note.at(5)).hasMatch());
    }

    void controlsSitWhereLaidOut_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("box");
        QTest::newRow("Image1") << "Image1"
                                << "TForm6" << QRect(-3, 8, 284, 25);
        QTest::newRow("ScrollBox1") << "ScrollBox1"
                                    << "TForm6" << QRect(8, 56, 265, 129);
        QTest::newRow("Label1") << "Label1"
                                << "ScrollBox1" << QRect(24, 16, 203, 19);
        QTest::newRow("Image2") << "Image2"
                                << "ScrollBox1" << QRect(64, 2680, 101, 21);
        QTest::newRow("RichEdit1") << "RichEdit1"
                                   << "ScrollBox1" << QRect(8, 56, 217, 2473);
        QTest::newRow("RichEdit2") << "RichEdit2"
                                   << "ScrollBox1" << QRect(8, 2541, 217, 93);
    }
    void controlsSitWhereLaidOut()
    {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, box);
        TForm6 form;
        const auto* widget = control<QWidget>(&form, qPrintable(name));
        const auto* scrollBox = control<ScrollBox>(&form, "ScrollBox1");
        const QString parentName = widget->parentWidget() == scrollBox->widget()
                                       ? "ScrollBox1"
                                       : widget->parentWidget()->objectName();
        QCOMPARE(parentName, parent);
        QCOMPARE(widget->geometry(), box);
    }

    void windowKeepsItsClientSize()
    {
        TForm6 form;
        QCOMPARE(form.size(), QSize(281, 192));
        QCOMPARE(form.minimumSize(), form.maximumSize());
    }

    void onlyTheHeadingSignatureAndTextsAreDisabled()
    {
        TForm6 form;
        QStringList found;
        for (const QWidget* child : form.findChildren<QWidget*>())
            if (!child->objectName().startsWith("qt_") && !child->isEnabledTo(child->parentWidget()))
                found << child->objectName();
        found.sort();
        QCOMPARE(found, (QStringList{"Image2", "Label1", "RichEdit1", "RichEdit2"}));
    }

    void textAreasDrawOverTheBoxSurface()
    {
        TForm6 form;
        QStringList stacking;
        for (const QObject* child : control<ScrollBox>(&form, "ScrollBox1")->widget()->children())
            stacking << child->objectName();
        QCOMPARE(stacking, (QStringList{"Label1", "Image2", "RichEdit1", "RichEdit2"}));
    }

    void headingShowsGreyOnBlackAndWhole()
    {
        TForm6 form;
        form.show();
        const auto* heading = control<QLabel>(&form, "Label1");
        QCOMPARE(heading->text(), "List  of  Games . . . NEO-GEO");
        QVERIFY(!heading->isEnabled());
        QCOMPARE(face(heading->font()), face(QFont("Times New Roman")));
        QCOMPARE(heading->font().pixelSize(), 16);
        QVERIFY(heading->font().bold());
        QVERIFY(heading->autoFillBackground());
        QVERIFY(heading->alignment() & Qt::AlignHCenter);
        QVERIFY(QFontMetricsF(heading->font()).horizontalAdvance(heading->text()) <= heading->width());
        const QSet<QRgb> colours = coloursOf(&form, heading);
        QVERIFY(colours.contains(0x808080));
        QVERIFY(colours.contains(0x000000));
        QCOMPARE(brightest(colours), 0x80);
    }

    void textAreasKeepTheirColoursThoughDisabled_data()
    {
        QTest::addColumn<QString>("viewer");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<int>("scrollTo");
        QTest::newRow("titles white") << "RichEdit1" << QColor(255, 255, 255) << 0;
        QTest::newRow("note silver") << "RichEdit2" << QColor(192, 192, 192) << 2541;
    }
    void textAreasKeepTheirColoursThoughDisabled()
    {
        QFETCH(QString, viewer);
        QFETCH(QColor, colour);
        QFETCH(int, scrollTo);
        TForm6 form;
        form.show();
        control<ScrollBox>(&form, "ScrollBox1")->verticalScrollBar()->setValue(scrollTo);
        const auto* text = control<QTextEdit>(&form, qPrintable(viewer));
        QVERIFY(!text->isEnabled());
        QCOMPARE(face(text->font()), face(QFont("Times New Roman")));
        QCOMPARE(text->font().pixelSize(), 13);
        QVERIFY(text->font().bold());
        QCOMPARE(text->palette().color(QPalette::Disabled, QPalette::Text), colour);
        QSet<QRgb> colours = coloursOf(&form, control<ScrollBox>(&form, "ScrollBox1")->viewport());
        QVERIFY(colours.contains(colour.rgb() & 0xffffff));
        QCOMPARE(brightest(colours), colour.red());
    }

    void linesAreFifteenPixelsAndAllFit()
    {
        TForm6 form;
        for (const char* name : {"RichEdit1", "RichEdit2"}) {
            const auto* viewer = control<QTextEdit>(&form, name);
            const QTextDocument* text = viewer->document();
            QCOMPARE(text->documentMargin(), 0.0);
            const QTextBlock last = text->lastBlock();
            QCOMPARE(text->documentLayout()->blockBoundingRect(last).top(), 15.0 * last.blockNumber());
            QVERIFY2(text->size().height() <= viewer->height(), name);
            QVERIFY2(text->idealWidth() <= viewer->width(), name);
        }
    }

    void listScrollBoxScrollsAsLaidOut()
    {
        TForm6 form;
        form.show();
        auto* box = control<ScrollBox>(&form, "ScrollBox1");
        QCOMPARE(box->frameWidth(), 0);
        support::verifyScrollBox(box, QSize(227, 2701), QSize(265 - 16, 129));
    }

    void scrolledToTheBottomShowsNoteEndAndSignature()
    {
        TForm6 form;
        form.show();
        auto* box = control<ScrollBox>(&form, "ScrollBox1");
        box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
        const QRect seen(0, -box->widget()->y(), 227, 129);
        QVERIFY(seen.contains(control<QWidget>(&form, "Image2")->geometry()));
        const auto* note = control<QTextEdit>(&form, "RichEdit2");
        QVERIFY(seen.bottom() >= note->y() + 6 * 15);
    }

    void freshListStartsAtTheTop() { support::verifyFreshWindowStartsAtTheTop<TForm6>(2572); }

    void clickingATitleSelectsNothing()
    {
        TForm6 form;
        form.show();
        auto* list = control<QTextEdit>(&form, "RichEdit1");
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, 7));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, 22));
        QVERIFY(!list->textCursor().hasSelection());
        QCOMPARE(form.focusWidget(), nullptr);
        QVERIFY(form.isVisible());
    }

    void enterAndEscapeLeaveTheWindowOpen_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }
    void enterAndEscapeLeaveTheWindowOpen()
    {
        QFETCH(int, key);
        TForm6 form;
        form.show();
        QTest::keyClick(&form, Qt::Key(key));
        QVERIFY(form.isVisible());
    }

    void nothingTakesFocusOrShowsTooltips()
    {
        TForm6 form;
        form.show();
        form.activateWindow();
        QCOMPARE(form.focusWidget(), nullptr);
        for (const QWidget* child : form.findChildren<QWidget*>()) {
            QCOMPARE(child->focusPolicy(), Qt::NoFocus);
            QVERIFY(child->toolTip().isEmpty());
            QVERIFY(!child->property("showHint").toBool());
        }
    }

    void everyPartShowsTheListHint()
    {
        TForm6 form;
        const QString hint = " Orvelane  . . .  List  of  Games";
        QCOMPARE(HintRouter::hintOf(&form), hint);
        for (const QWidget* child : form.findChildren<QWidget*>()) {
            QVERIFY2(child->property("hint").toString().isEmpty(), qPrintable(child->objectName()));
            QCOMPARE(HintRouter::hintOf(child), hint);
        }
    }
};

int main(int argc, char** argv)
{
    OrvelaneApplication app(argc, argv);
    GamesListTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_gameslist.moc"
