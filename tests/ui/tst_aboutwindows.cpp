// The three about windows: the About text line by line, the place and looks of every
// control, the scroll box of the About window. With the games list, which is made the same
// way, the rules these information windows share: their places, sizes and stacking, the
// controls greyed, and that keys and hints leave them alone.
#include "HintRouter.h"
#include "ScrollBox.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"
#include "Unit6.h"
#include "Version.h"
#include "WidgetTestMain.h"
#include "Widgets.h"

#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <memory>

namespace {

std::unique_ptr<QDialog> makeWindow(const QString& name)
{
    if (name == "TForm2")
        return std::make_unique<TForm2>();
    if (name == "TForm3")
        return std::make_unique<TForm3>();
    if (name == "TForm4")
        return std::make_unique<TForm4>();
    return std::make_unique<TForm6>();
}

using support::boxInWindow;
using support::brightest;
using support::coloursIn;
using support::control;
using support::face;

// The parent as the window's layout names it: a control inside a scroll box's content
// belongs to the scroll box.
QString layoutParent(const QWidget* widget)
{
    const QWidget* parent = widget->parentWidget();
    for (const QWidget* outer = parent->parentWidget(); outer; outer = outer->parentWidget())
        if (auto* box = qobject_cast<const QScrollArea*>(outer); box && box->widget() == parent)
            return box->objectName();
    return parent->objectName();
}

// The pixel width a label's text needs in the label's own font.
int textWidth(const QLabel* label)
{
    const QFontMetrics metrics(label->font());
    return qMax(metrics.boundingRect(label->text()).right() + 1, metrics.horizontalAdvance(label->text()));
}

QStringList aboutLines(const TForm2& form)
{
    return control<QTextEdit>(&form, "RichEdit1")->toPlainText().split('\n');
}

} // namespace

class AboutWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void aboutTextHasThirtySixLines()
    {
        TForm2 form;
        QCOMPARE(aboutLines(form).size(), 36);
    }

    void aboutLineKeepsItsLeadingBlanks_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("blanks");
        const int blanks[36] = {0, 0, 2,  22, 2, 22, 2, 22, 2, 2, 22, 2, 2, 0, 0, 0, 0, 2,
                                2, 0, 57, 0,  2, 2,  2, 0,  0, 2, 2,  2, 0, 0, 2, 2, 2, 0};
        for (int line = 1; line <= 36; ++line)
            QTest::addRow("line %d", line) << line << blanks[line - 1];
    }
    void aboutLineKeepsItsLeadingBlanks()
    {
        QFETCH(int, line);
        QFETCH(int, blanks);
        TForm2 form;
        const QString text = aboutLines(form).value(line - 1);
        const qsizetype leading = text.size() - QString(text).remove(QRegularExpression("^ +")).size();
        QCOMPARE(int(leading), blanks);
    }

    void aboutLineReadsExactly_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("text");
        QTest::newRow("CPU") << 3 << "  CPU ........... Motorola 68000 running at 12.5 Mhz";
        QTest::newRow("sound channels")
            << 11 << "                      channels,  7 PCM (Digital),  &   8 FM.";
        QTest::newRow("blank line 21") << 21 << QString(57, ' ');
        QTest::newRow("Spanish") << 23 << "  para  los  emuladores  de   NEO-GEO   existentes,";
        QTest::newRow("hyphen at the end") << 29 << "  to modify each one  of the options  of this  emula-";
        QTest::newRow("hyphen carried over") << 30 << "  tors.";
        QTest::newRow("Italian") << 32 << QString::fromUtf8("- Orvelane \u00e8 una Front-End,");
        QTest::newRow("last line empty") << 36 << "";
    }
    void aboutLineReadsExactly()
    {
        QFETCH(int, line);
        QFETCH(QString, text);
        TForm2 form;
        QCOMPARE(aboutLines(form).value(line - 1), text);
    }

    void controlsSitWhereLaidOut_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("box");
        const auto row = [](const char* window, const char* name, const char* parent, int x, int y, int w,
                            int h) {
            QTest::addRow("%s.%s", window, name) << window << name << parent << QRect(x, y, w, h);
        };
        row("TForm2", "Image4", "TForm2", 261, 3, 83, 78);
        row("TForm2", "Label1", "TForm2", 48, 61, 197, 16);
        row("TForm2", "Label2", "TForm2", 48, 60, 197, 16);
        row("TForm2", "Image7", "TForm2", 0, 0, 261, 49);
        row("TForm2", "ScrollBox1", "TForm2", 4, 88, 341, 105);
        row("TForm2", "Panel1", "TForm2", 4, 50, 31, 36);
        row("TForm2", "Image5", "Panel1", 1, 1, 29, 34);
        row("TForm2", "Image1", "ScrollBox1", 272, 355, 32, 36);
        row("TForm2", "Image2", "ScrollBox1", 272, 419, 32, 36);
        row("TForm2", "Image3", "ScrollBox1", 272, 485, 32, 36);
        row("TForm2", "Image6", "ScrollBox1", 0, 0, 321, 33);
        row("TForm2", "Label3", "ScrollBox1", 136, 32, 41, 16);
        row("TForm2", "Image8", "ScrollBox1", 112, 563, 101, 21);
        row("TForm2", "RichEdit1", "ScrollBox1", 8, 80, 257, 464);
        row("TForm3", "Panel1", "TForm3", 4, 4, 301, 109);
        row("TForm3", "Label1", "Panel1", 58, 25, 193, 16);
        row("TForm3", "ProductName", "Panel1", 57, 26, 193, 16);
        row("TForm3", "Label2", "Panel1", 7, 63, 196, 13);
        row("TForm3", "Label4", "Panel1", 7, 63, 190, 13);
        row("TForm3", "Image4", "Panel1", 218, 61, 31, 19);
        row("TForm3", "Label3", "Panel1", 252, 61, 32, 17);
        row("TForm3", "Label5", "Panel1", 137, 10, 27, 16);
        row("TForm3", "Label6", "Panel1", 136, 11, 27, 16);
        row("TForm3", "Label7", "Panel1", 8, 88, 287, 13);
        row("TForm4", "Panel1", "TForm4", 4, 4, 253, 69);
        row("TForm4", "Label2", "Panel1", 31, 47, 85, 13);
        row("TForm4", "Label4", "Panel1", 31, 47, 79, 13);
        row("TForm4", "Image4", "Panel1", 170, 45, 31, 19);
        row("TForm4", "Label3", "Panel1", 204, 45, 32, 17);
        row("TForm4", "Label5", "Panel1", 97, 10, 55, 16);
        row("TForm4", "Label6", "Panel1", 96, 11, 55, 16);
        row("TForm6", "Image1", "TForm6", -3, 8, 284, 25);
        row("TForm6", "ScrollBox1", "TForm6", 8, 56, 265, 129);
        row("TForm6", "Label1", "ScrollBox1", 24, 16, 203, 19);
        row("TForm6", "Image2", "ScrollBox1", 64, 2680, 101, 21);
        row("TForm6", "RichEdit1", "ScrollBox1", 8, 56, 217, 2473);
        row("TForm6", "RichEdit2", "ScrollBox1", 8, 2541, 217, 93);
    }
    void controlsSitWhereLaidOut()
    {
        QFETCH(QString, window);
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, box);
        const auto form = makeWindow(window);
        const QWidget* widget = control<QWidget>(form.get(), name);
        QCOMPARE(layoutParent(widget), parent);
        QCOMPARE(widget->pos(), box.topLeft());
        QCOMPARE(widget->height(), box.height());
        // A label grows to its text where the substitute face runs wider, never shrinks.
        const auto* label = qobject_cast<const QLabel*>(widget);
        const bool textLabel = label && qstrcmp(label->metaObject()->className(), "QLabel") == 0;
        QCOMPARE(widget->width(), textLabel ? qMax(box.width(), textWidth(label)) : box.width());
    }

    void windowsKeepTheirClientSize_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QSize>("size");
        QTest::newRow("About") << "TForm2" << QSize(348, 194);
        QTest::newRow("NEO R.A.G.E.") << "TForm3" << QSize(310, 116);
        QTest::newRow("NEOGEO") << "TForm4" << QSize(261, 77);
        QTest::newRow("games list") << "TForm6" << QSize(281, 192);
    }
    void windowsKeepTheirClientSize()
    {
        QFETCH(QString, window);
        QFETCH(QSize, size);
        const auto form = makeWindow(window);
        QCOMPARE(form->size(), size);
        QCOMPARE(form->minimumSize(), size);
        QCOMPARE(form->maximumSize(), size);
    }

    void labelsKeepTheirLooks_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<bool>("enabled");
        const auto row = [](const char* window, const char* name, const char* family, int px, bool bold,
                            bool italic, QColor colour, bool transparent, bool enabled = true) {
            QTest::addRow("%s.%s", window, name)
                << window << name << family << px << bold << italic << colour << transparent << enabled;
        };
        row("TForm2", "Label1", "MS Sans Serif", 13, true, true, QColor(128, 0, 0), false);
        row("TForm2", "Label2", "MS Sans Serif", 13, true, true, QColor(255, 0, 0), true);
        row("TForm2", "Label3", "MS Sans Serif", 13, true, false, QColor(255, 255, 255), false, false);
        row("TForm3", "Label1", "Arial", 13, true, false, QColor(128, 128, 128), true);
        row("TForm3", "ProductName", "Arial", 13, true, false, QColor(0, 0, 0), true);
        row("TForm3", "Label2", "MS Sans Serif", 11, true, true, QColor(0, 255, 255), true);
        row("TForm3", "Label4", "MS Sans Serif", 11, true, false, QColor(0, 0, 128), true);
        row("TForm3", "Label3", "Times New Roman", 15, true, false, QColor(0, 0, 0), true);
        row("TForm3", "Label5", "Arial", 13, true, false, QColor(128, 128, 128), false);
        row("TForm3", "Label6", "Arial", 13, true, false, QColor(0, 0, 0), true);
        row("TForm3", "Label7", "MS Sans Serif", 11, true, false, QColor(0, 0, 0), false);
        row("TForm4", "Label2", "MS Sans Serif", 11, true, true, QColor(0, 255, 255), true);
        row("TForm4", "Label4", "MS Sans Serif", 11, true, false, QColor(0, 0, 128), true);
        row("TForm4", "Label3", "Times New Roman", 15, true, false, QColor(0, 0, 0), true);
        row("TForm4", "Label5", "Arial", 13, true, false, QColor(128, 128, 128), false);
        row("TForm4", "Label6", "Arial", 13, true, false, QColor(0, 0, 0), true);
    }
    void labelsKeepTheirLooks()
    {
        QFETCH(QString, window);
        QFETCH(QString, name);
        QFETCH(QString, family);
        QFETCH(int, pixels);
        QFETCH(bool, bold);
        QFETCH(bool, italic);
        QFETCH(QColor, colour);
        QFETCH(bool, transparent);
        QFETCH(bool, enabled);
        const auto form = makeWindow(window);
        const auto* label = control<QLabel>(form.get(), name);
        QCOMPARE(face(label->font()), face(QFont(family)));
        QCOMPARE(label->font().pixelSize(), pixels);
        QCOMPARE(label->font().bold(), bold);
        QCOMPARE(label->font().italic(), italic);
        QCOMPARE(label->palette().color(QPalette::Active, QPalette::WindowText), colour);
        QCOMPARE(label->autoFillBackground(), !transparent);
        QCOMPARE(label->isEnabled(), enabled);
        QVERIFY2(textWidth(label) <= label->width(), "a letter would be cut off");
    }

    void onlyTheLaidOutControlsAreDisabled_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("disabled");
        QTest::newRow("About") << "TForm2" << QStringList{"Image1", "Image2", "Image3",   "Image4",
                                                          "Label3", "Panel1", "RichEdit1"};
        QTest::newRow("NEO R.A.G.E.") << "TForm3" << QStringList{};
        QTest::newRow("NEOGEO") << "TForm4" << QStringList{};
        QTest::newRow("games list") << "TForm6" << QStringList{"Image2", "Label1", "RichEdit1", "RichEdit2"};
    }
    void onlyTheLaidOutControlsAreDisabled()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, disabled);
        const auto form = makeWindow(window);
        QStringList found;
        for (const QWidget* child : form->findChildren<QWidget*>())
            if (!child->objectName().startsWith("qt_") && !child->isEnabledTo(child->parentWidget()))
                found << child->objectName();
        found.sort();
        QCOMPARE(found, disabled);
    }

    void pairedLabelsCarryOneText_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("under");
        QTest::addColumn<QString>("over");
        const auto row = [](const char* window, const char* under, const char* over) {
            QTest::addRow("%s.%s+%s", window, under, over) << window << under << over;
        };
        row("TForm2", "Label1", "Label2");
        row("TForm3", "Label1", "ProductName");
        row("TForm3", "Label2", "Label4");
        row("TForm3", "Label5", "Label6");
        row("TForm4", "Label2", "Label4");
        row("TForm4", "Label5", "Label6");
    }
    void pairedLabelsCarryOneText()
    {
        QFETCH(QString, window);
        QFETCH(QString, under);
        QFETCH(QString, over);
        const auto form = makeWindow(window);
        const QString text = control<QLabel>(form.get(), under)->text();
        QVERIFY(!text.trimmed().isEmpty());
        QCOMPARE(control<QLabel>(form.get(), over)->text(), text);
    }

    void emulatorCreditsReadAsLaidOut()
    {
        TForm3 neorage;
        QCOMPARE(control<QLabel>(&neorage, "ProductName")->text(), "Real  Arcade  Game  Emulator");
        QVERIFY(control<QLabel>(&neorage, "Label2")->text().contains(QRegularExpression("\\S  &  \\S")));
        QVERIFY(control<QLabel>(&neorage, "Label7")
                    ->text()
                    .contains(QRegularExpression("\\S   \\(Home Page\\)$")));
        QCOMPARE(control<QLabel>(&neorage, "Label6")->text(), "NEO");
        TForm4 neogeo;
        QCOMPARE(control<QLabel>(&neogeo, "Label6")->text(), "NEOGEO");
        QCOMPARE(control<QLabel>(&neogeo, "Label3")->text(), "1998");
    }

    void laterControlsDrawOverEarlier_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QStringList>("picturesAndLabels");
        QTest::addColumn<QStringList>("above");
        const auto row = [](const char* window, const char* parent, QStringList picturesAndLabels,
                            QStringList above) {
            QTest::addRow("%s.%s", window, parent) << window << parent << picturesAndLabels << above;
        };
        row("TForm2", "TForm2", {"Image4", "Label1", "Label2", "Image7"}, {"ScrollBox1", "Panel1"});
        row("TForm2", "ScrollBox1Content", {"Image1", "Image2", "Image3", "Image6", "Label3", "Image8"},
            {"RichEdit1"});
        row("TForm3", "Panel1",
            {"Label1", "ProductName", "Label2", "Label4", "Image4", "Label3", "Label5", "Label6", "Label7"},
            {});
        row("TForm4", "Panel1", {"Label2", "Label4", "Image4", "Label3", "Label5", "Label6"}, {});
        row("TForm6", "ScrollBox1Content", {"Label1", "Image2"}, {"RichEdit1", "RichEdit2"});
    }
    void laterControlsDrawOverEarlier()
    {
        QFETCH(QString, window);
        QFETCH(QString, parent);
        QFETCH(QStringList, picturesAndLabels);
        QFETCH(QStringList, above);
        const auto form = makeWindow(window);
        const QWidget* owner = window == parent ? form.get() : control<QWidget>(form.get(), parent);
        QStringList stacking;
        for (const QObject* child : owner->children())
            if (child->isWidgetType())
                stacking << child->objectName();
        QCOMPARE(stacking, picturesAndLabels + above);
    }

    void versionShowsInGreyText()
    {
        TForm2 form;
        form.show();
        const auto* version = control<QLabel>(&form, "Label3");
        QCOMPARE(version->text(), "v " ORVELANE_VERSION);
        const QSet<QRgb> colours = coloursIn(&form, boxInWindow(&form, version));
        QVERIFY(colours.contains(0x808080));
        QCOMPARE(brightest(colours), 0x80);
    }

    void aboutTextIsSilverOnBlackThoughDisabled()
    {
        TForm2 form;
        form.show();
        const auto* text = control<QTextEdit>(&form, "RichEdit1");
        QVERIFY(!text->isEnabled());
        QCOMPARE(text->palette().color(QPalette::Disabled, QPalette::Text), QColor(192, 192, 192));
        const QSet<QRgb> colours =
            coloursIn(&form, boxInWindow(&form, text).intersected(QRect(6, 90, 321, 101)));
        QVERIFY(colours.contains(0xc0c0c0));
        QVERIFY(colours.contains(0x000000));
        QCOMPARE(brightest(colours), 0xc0);
    }

    void aboutTextRunsInThirteenPixelLines()
    {
        TForm2 form;
        const QTextDocument* text = control<QTextEdit>(&form, "RichEdit1")->document();
        QCOMPARE(text->documentMargin(), 0.0);
        for (int line = 0; line < 36; ++line)
            QCOMPARE(text->documentLayout()->blockBoundingRect(text->findBlockByNumber(line)).top(),
                     13.0 * line);
        QVERIFY(text->idealWidth() <= 257);
    }

    void flagStandsLevelWithItsParagraph_data()
    {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("opening");
        QTest::newRow("Spain") << "Image1" << 22 << "- Orvelane es un Front-End,";
        QTest::newRow("United Kingdom") << "Image2" << 27 << "- Orvelane  is a  Front-End,";
        QTest::newRow("Italy") << "Image3" << 32 << QString::fromUtf8("- Orvelane \u00e8 una Front-End,");
    }
    void flagStandsLevelWithItsParagraph()
    {
        QFETCH(QString, flag);
        QFETCH(int, line);
        QFETCH(QString, opening);
        TForm2 form;
        const auto* text = control<QTextEdit>(&form, "RichEdit1");
        const QTextBlock block = text->document()->findBlockByNumber(line - 1);
        QCOMPARE(block.text(), opening);
        const int lineTop =
            text->y() + int(text->document()->documentLayout()->blockBoundingRect(block).top());
        QVERIFY(qAbs(control<QWidget>(&form, flag)->y() - lineTop) <= 2);
        QVERIFY(control<QWidget>(&form, flag)->x() >= text->x() + text->document()->idealWidth());
    }

    void aboutScrollBoxScrollsAsLaidOut()
    {
        TForm2 form;
        form.show();
        auto* box = control<ScrollBox>(&form, "ScrollBox1");
        QCOMPARE(box->frameWidth(), 2);
        QCOMPARE(box->frameShadow(), QFrame::Sunken);
        support::verifyScrollBox(box, QSize(321, 584), QSize(321, 101));
    }

    void scrolledToTheBottomShowsItalianFlagAndSignature()
    {
        TForm2 form;
        form.show();
        auto* box = control<ScrollBox>(&form, "ScrollBox1");
        box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
        const QRect seen(0, -box->widget()->y(), 321, 101);
        QCOMPARE(seen.top(), 483);
        QVERIFY(seen.contains(control<QWidget>(&form, "Image3")->geometry()));
        QVERIFY(seen.contains(control<QWidget>(&form, "Image8")->geometry()));
    }

    void freshAboutWindowStartsAtTheTop() { support::verifyFreshWindowStartsAtTheTop<TForm2>(483); }

    void enterAndEscapeLeaveTheWindowOpen_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("key");
        for (const char* window : {"TForm2", "TForm3", "TForm4", "TForm6"}) {
            QTest::addRow("%s Escape", window) << window << int(Qt::Key_Escape);
            QTest::addRow("%s Enter", window) << window << int(Qt::Key_Return);
            QTest::addRow("%s keypad Enter", window) << window << int(Qt::Key_Enter);
        }
    }
    void enterAndEscapeLeaveTheWindowOpen()
    {
        QFETCH(QString, window);
        QFETCH(int, key);
        const auto form = makeWindow(window);
        form->show();
        QTest::keyClick(form.get(), Qt::Key(key));
        QVERIFY(form->isVisible());
        QCOMPARE(form->result(), 0);
    }

    void nothingTakesFocusOrShowsTooltips_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("hint");
        for (const char* window : {"TForm2", "TForm3", "TForm4"})
            QTest::newRow(window) << window << " Orvelane";
        QTest::newRow("TForm6") << "TForm6"
                                << " Orvelane  . . .  List  of  Games";
    }
    void nothingTakesFocusOrShowsTooltips()
    {
        QFETCH(QString, window);
        const auto form = makeWindow(window);
        form->show();
        form->activateWindow();
        QCOMPARE(form->focusWidget(), nullptr);
        for (const QWidget* child : form->findChildren<QWidget*>()) {
            QCOMPARE(child->focusPolicy(), Qt::NoFocus);
            QVERIFY(child->toolTip().isEmpty());
            QVERIFY(!child->property("showHint").toBool());
        }
    }

    void everyPartShowsTheWindowHint_data() { nothingTakesFocusOrShowsTooltips_data(); }
    void everyPartShowsTheWindowHint()
    {
        QFETCH(QString, window);
        QFETCH(QString, hint);
        const auto form = makeWindow(window);
        QCOMPARE(HintRouter::hintOf(form.get()), hint);
        for (const QWidget* child : form->findChildren<QWidget*>()) {
            QVERIFY2(child->property("hint").toString().isEmpty(), qPrintable(child->objectName()));
            QCOMPARE(HintRouter::hintOf(child), hint);
        }
    }
};

ORVELANE_WIDGET_TEST_MAIN(AboutWindowsTest)

#include "tst_aboutwindows.moc"
