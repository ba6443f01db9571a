// The games list window: its 164 titles and the note, the looks of its heading and texts,
// its scroll box, and that clicks select nothing. Its places, size, stacking, greyed parts,
// keys and hints are rows in the information windows' tables (tst_aboutwindows).
#include "ScrollBox.h"
#include "Unit6.h"
#include "WidgetTestMain.h"
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
    void titleStandsAtItsPlace_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("title");
        QTest::newRow("first") << 1 << "2020 Super Baseball";
        QTest::newRow("Mystic Man") << 82 << "Mystic Man";
        QTest::newRow("last, with its blanks") << 164 << "Zupapa!" + QString(14, ' ');
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
        QCOMPARE(titles(form).size(), 164);
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
};

ORVELANE_WIDGET_TEST_MAIN(GamesListTest)

#include "tst_gameslist.moc"
