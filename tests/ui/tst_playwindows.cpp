// The two play windows: the NEO R.A.G.E. launch composed from the chosen game and the stored
// switches, the bare NEOGEO launch, and both windows' looks.
#include "BevelPanel.h"
#include "FakeHost.h"
#include "Programs.h"
#include "SettingsBytes.h"
#include "Unit5.h"
#include "Unit7.h"
#include "Unit8.h"
#include "WidgetTestMain.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>

#include <functional>
#include <memory>

using support::catchBox;
using support::control;

namespace {

QByteArray switches(int noScanlines, int enableVsync, int vgaMode, int frameSkip)
{
    QByteArray bytes;
    for (int value : {noScanlines, enableVsync, vgaMode, frameSkip})
        bytes.append(char(value));
    return bytes;
}

// The recording host, which can also act while the open-file dialog is up and notes the
// window the dialog was run over.
class DialogHost : public FakeHost {
public:
    std::function<void()> whileDialogOpen;
    std::vector<QWidget*> dialogParents;

    std::optional<std::string> chooseOpenFile(QWidget* parent, const OpenFileRequest& request) override
    {
        dialogParents.push_back(parent);
        if (whileDialogOpen)
            whileDialogOpen();
        return FakeHost::chooseOpenFile(parent, request);
    }
};

} // namespace

class PlayWindowsTest : public QObject {
    Q_OBJECT

private:
    DialogHost m_host;
    std::unique_ptr<TForm8> m_play;

    // Writes a settings file with the four switch bytes in file order: NoScanlines,
    // EnableVsync, VgaMode, FrameSkip.
    void writeSwitches(const QByteArray& on)
    {
        m_host.settingsFile = support::settingsBytes(0, 0, on[0], on[1], on[2], on[3]);
    }

    QLabel* label(const char* name) const { return control<QLabel>(m_play.get(), name); }

    // Presses "Play the Game" with `answer` scripted for the dialog (nullopt: cancel).
    void press(std::optional<std::string> answer)
    {
        m_host.dialogAnswers.push_back(std::move(answer));
        QTest::mouseClick(control<QPushButton>(m_play.get(), "BitBtn1"), Qt::LeftButton);
    }

    QStringList lastArguments() const { return support::toQStringList(m_host.starts.back().arguments); }

private slots:
    void init()
    {
        m_host = DialogHost();
        m_play = std::make_unique<TForm8>(m_host);
        m_play->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_play.get()));
    }

    void cleanup() { m_play.reset(); }

    void playLaunchesTheChosenGame_data()
    {
        QTest::addColumn<char>("separator");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("on");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        // How the path and the switches make the command is the core's table; these rows are
        // the wiring: the switches read from the file, the host's separator, the labels.
        // The emulator directory keeps its blank, so the command line reads as the composed text.
        QTest::newRow("blanks, all four")
            << '/' << "/NEO RAGE/SAM SHO/SAM SHO.ROM" << switches(1, 1, 1, 1) << "SAMSHO"
            << "/NEO RAGE/neorage.exe"
            << QStringList{"/NEO", "RAGE/SAMSHO", "SAMSHO.ROM", "-n", "-vga", "-v", "-f"};
        QTest::newRow("backslash paths")
            << '\\' << "C:\\EMU\\MSLUG\\MSLUG.038" << switches(1, 1, 0, 0) << "MSLUG"
            << "C:\\EMU\\neorage.exe" << QStringList{"C:\\EMU\\MSLUG", "MSLUG.038", "-n", "-v"};
        const QString deep = "/" + QString(60, 'E') + "/" + QString(50, 'G');
        QTest::newRow("longer than 100 characters")
            << '/' << deep + "/GAME.ROM" << switches(0, 1, 1, 0) << QString(50, 'G')
            << "/" + QString(60, 'E') + "/neorage.exe" << QStringList{deep, "GAME.ROM", "-vga", "-v"};
    }

    void playLaunchesTheChosenGame()
    {
        QFETCH(char, separator);
        QFETCH(QString, path);
        QFETCH(QByteArray, on);
        QFETCH(QString, directory);
        m_host.separator = separator;
        writeSwitches(on);

        press(path.toStdString());
        QCOMPARE(m_host.starts.size(), std::size_t(1));
        QTEST(QString::fromStdString(m_host.starts[0].program), "program");
        QTEST(support::toQStringList(m_host.starts[0].arguments), "arguments");
        QCOMPARE(label("Label1")->text(), QString("Loading ..."));
        QCOMPARE(label("Label3")->text(), directory);
        // Label3 sizes itself to the folder's name from where it stands.
        QCOMPARE(label("Label3")->pos(), QPoint(80, 32));
        QVERIFY(label("Label3")->width() >= label("Label3")->fontMetrics().horizontalAdvance(directory));
        QVERIFY(m_play->isVisible());
    }

    void switchesAreReadFromTheFileAtEachPress()
    {
        writeSwitches(switches(1, 0, 0, 0));
        press("/emu/MSLUG/MSLUG.038");
        writeSwitches(switches(0, 0, 1, 0));
        press("/emu/MSLUG/MSLUG.038");
        QCOMPARE(support::toQStringList(m_host.starts[0].arguments),
                 (QStringList{"/emu/MSLUG", "MSLUG.038", "-n"}));
        QCOMPARE(support::toQStringList(m_host.starts[1].arguments),
                 (QStringList{"/emu/MSLUG", "MSLUG.038", "-vga"}));
    }

    void switchesChangedWhileTheDialogIsOpenCount()
    {
        writeSwitches(switches(0, 0, 0, 0));
        m_host.whileDialogOpen = [this] { writeSwitches(switches(0, 0, 0, 1)); };
        press("/emu/MSLUG/MSLUG.038");
        QCOMPARE(lastArguments(), (QStringList{"/emu/MSLUG", "MSLUG.038", "-f"}));
    }

    // The click's save is still queued when the press comes; the press reads after it.
    void aPressRightAfterAClickStartsWithThatClicksSwitch()
    {
        writeSwitches(switches(0, 0, 0, 0));
        TForm5 configuration(m_host);
        m_host.settle();
        QTest::mouseClick(control<QCheckBox>(&configuration, "CheckBox4"), Qt::LeftButton);
        press("/emu/MSLUG/MSLUG.038");
        QCOMPARE(lastArguments(), (QStringList{"/emu/MSLUG", "MSLUG.038", "-f"}));
    }

    void aLostSettingsFileLeavesTheSwitchesLastLoaded()
    {
        writeSwitches(switches(0, 1, 0, 0));
        press("/emu/MSLUG/MSLUG.038");
        m_host.settingsFile.reset();
        m_play = std::make_unique<TForm8>(m_host);
        press("/emu/MSLUG/MSLUG.038");
        QCOMPARE(lastArguments(), (QStringList{"/emu/MSLUG", "MSLUG.038", "-v"}));
    }

    void aSecondShorterLaunchCarriesNothingOfTheFirst()
    {
        writeSwitches(switches(1, 1, 1, 1));
        press("/NEO RAGE/METAL SLUG 2/METAL SLUG 2.ROM");
        const int longWidth = label("Label3")->width();
        writeSwitches(switches(0, 0, 0, 0));
        press("/e/K/K.038");
        QCOMPARE(QString::fromStdString(m_host.starts.back().program), QString("/e/neorage.exe"));
        QCOMPARE(lastArguments(), (QStringList{"/e/K", "K.038"}));
        QCOMPARE(label("Label3")->text(), QString("K"));
        QVERIFY(label("Label3")->width() < longWidth);
    }

    void aCancelledDialogStartsNothingAndKeepsTheLabels()
    {
        writeSwitches(switches(1, 0, 0, 0));
        press(std::nullopt);
        QVERIFY(m_host.starts.empty());
        QVERIFY(label("Label1")->text().isEmpty());
        QVERIFY(label("Label3")->text().isEmpty());

        press("/emu/MSLUG/MSLUG.038");
        press(std::nullopt);
        QCOMPARE(m_host.starts.size(), std::size_t(1));
        QCOMPARE(label("Label1")->text(), QString("Loading ..."));
        QCOMPARE(label("Label3")->text(), QString("MSLUG"));
    }

    void aPathWithoutAGameFolderIsRefused_data()
    {
        QTest::addColumn<char>("separator");
        QTest::addColumn<QString>("path");
        QTest::newRow("one separator") << '/' << "/MSLUG.038";
        QTest::newRow("no separator") << '/' << "MSLUG.038";
        QTest::newRow("drive and file") << '\\' << "C:\\MSLUG.038";
    }

    void aPathWithoutAGameFolderIsRefused()
    {
        QFETCH(char, separator);
        QFETCH(QString, path);
        m_host.separator = separator;
        writeSwitches(switches(0, 0, 0, 0));
        press(QString("%1emu%1MSLUG%1MSLUG.038").arg(separator).toStdString());
        QCOMPARE(m_host.starts.size(), std::size_t(1));

        const auto [caption, text, icon, over, asWritten] = catchBox([&] { press(path.toStdString()); });
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(caption, QString("Orvelane"));
        QVERIFY2(text.contains("own folder") && text.contains(QString("EMULATOR%1GAME").arg(separator)),
                 qPrintable(text));
        QCOMPARE(m_host.starts.size(), std::size_t(1));
        // Nothing is loading any more; the folder of the last launch stays named.
        QVERIFY(label("Label1")->text().isEmpty());
        QCOMPARE(label("Label3")->text(), QString("MSLUG"));
    }

    void theEmulatorReadsTheFolderAsItNamesIt_data()
    {
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("DOS: the folder is C:")
            << true << "/emu/MSLUG/MSLUG.038"
            << QStringList{"-c", "C:\\NEORAGE.EXE C:\\MSLUG MSLUG.038", "-c", "exit"} << "";
        QTest::newRow("no emulator") << false << "/emu/MSLUG/MSLUG.038" << QStringList()
                                     << "Cannot start neorage.exe in /emu: there is no such file.";
        // A folder's name may look like markup: the box names it as it is.
        QTest::newRow("no emulator, a folder named like markup")
            << false << "/<b>emu/MSLUG/MSLUG.038" << QStringList()
            << "Cannot start neorage.exe in /<b>emu: there is no such file.";
    }

    // A start that cannot happen is said, and "Loading ..." is not shown for it.
    void theEmulatorReadsTheFolderAsItNamesIt()
    {
        QFETCH(bool, found);
        QFETCH(QString, path);
        QFETCH(QString, error);
        writeSwitches(switches(0, 0, 0, 0));
        m_host.find = [found](const StartRequest& request) -> std::variant<FoundProgram, StartRefusal> {
            if (!found)
                return StartRefusal{"Cannot start " + request.name + " in " + request.folder +
                                    ": there is no such file."};
            return FoundProgram{.kind = ProgramKind::Dos,
                                .program = request.folder + "/NEORAGE.EXE",
                                .folder = request.folder,
                                .name = "NEORAGE.EXE",
                                .spellings = {"NEORAGE.EXE"},
                                .runner = "/usr/bin/dosbox",
                                .wineDrives = {},
                                .folderEnterable = true};
        };
        const support::MessageBoxSeen box = catchBox([&] { press(path.toStdString()); });
        if (error.isEmpty()) {
            QCOMPARE(box.caption, QString());
            QTEST(lastArguments().mid(lastArguments().size() - 4), "arguments");
            QCOMPARE(label("Label1")->text(), QString("Loading ..."));
            return;
        }
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.caption, QString("Orvelane"));
        QVERIFY2(box.text.startsWith(error), qPrintable(box.text));
        QVERIFY(box.asWritten);
        QVERIFY(m_host.starts.empty());
        QVERIFY(label("Label1")->text().isEmpty());

        TForm7 neogeo(m_host);
        const support::MessageBoxSeen neogeoBox =
            catchBox([&] { QTest::mouseClick(control<QPushButton>(&neogeo, "BitBtn1"), Qt::LeftButton); });
        QCOMPARE(neogeoBox.caption, found ? QString() : QString("Orvelane"));
        QCOMPARE(m_host.starts.size(), std::size_t(found ? 1 : 0));
    }

    // One press, one start: while a start waits for its answer the button rests, and
    // "Loading ..." comes with the answer.
    void aPressWhileAStartIsUnderWayDoesNothing()
    {
        m_host.holdAnswers = true;
        press("/emu/MSLUG/MSLUG.038");
        auto* button = control<QPushButton>(m_play.get(), "BitBtn1");
        QVERIFY(!button->isEnabled());
        QVERIFY(label("Label1")->text().isEmpty());
        press("/emu/KOF/KOF.038");
        QCOMPARE(m_host.requests.size(), std::size_t(1));
        QCOMPARE(m_host.dialogRequests.size(), std::size_t(1));

        m_host.answerHeld();
        QVERIFY(button->isEnabled());
        QCOMPARE(label("Label1")->text(), QString("Loading ..."));
        QCOMPARE(label("Label3")->text(), QString("MSLUG"));
    }

    // The window closed and opened again while a start waits is a new window: its button rests
    // too, and the answer goes to it; with no play window open, a failure still says why.
    void theAnswerReachesTheWindowOpenWhenItComes()
    {
        m_host.holdAnswers = true;
        press("/emu/MSLUG/MSLUG.038");
        m_play->hide();
        TForm8 reopened(m_host);
        reopened.show();
        auto* button = control<QPushButton>(&reopened, "BitBtn1");
        QVERIFY(!button->isEnabled());
        m_host.answerHeld();
        QVERIFY(button->isEnabled());
        QCOMPARE(control<QLabel>(&reopened, "Label1")->text(), QString("Loading ..."));
        QVERIFY(label("Label1")->text().isEmpty());

        m_host.find = [](const StartRequest&) {
            return StartRefusal{"Cannot start neorage.exe in /emu: gone."};
        };
        press("/emu/MSLUG/MSLUG.038");
        reopened.hide();
        QCOMPARE(support::catchBox([&] { m_host.answerHeld(); }).text,
                 QString("Cannot start neorage.exe in /emu: gone."));
    }

    void theDialogAsksForNeoGeoFilesOverTheWindow()
    {
        const QString before = QDir::currentPath();
        press("/emu/MSLUG/MSLUG.038");
        press(std::nullopt);
        QCOMPARE(m_host.dialogRequests.size(), std::size_t(2));
        QCOMPARE(m_host.dialogRequests[0].filterDescription, QString("Files of NEO-GEO"));
        QCOMPARE(m_host.dialogRequests[0].patterns, (QStringList{"*.ROM", "*.038"}));
        QCOMPARE(m_host.dialogParents[0], static_cast<QWidget*>(m_play.get()));
        QCOMPARE(QDir::currentPath(), before);
    }

    void neogeoStartsBareOncePerPress()
    {
        TForm7 neogeo(m_host);
        neogeo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&neogeo));
        auto* button = control<QPushButton>(&neogeo, "BitBtn1");
        QTest::mouseClick(button, Qt::LeftButton);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        QCOMPARE(m_host.starts.size(), std::size_t(2));
        for (const auto& start : m_host.starts) {
            QCOMPARE(QString::fromStdString(start.program), QString("./neogeo.exe"));
            QVERIFY(start.arguments.empty());
        }
        QVERIFY(m_host.dialogRequests.empty());
        QTest::keyClick(&neogeo, Qt::Key_Escape);
        QVERIFY(neogeo.isVisible());
    }

    void enterPlaysAndEscapeLeavesThePlayWindowOpen()
    {
        auto* button = control<QPushButton>(m_play.get(), "BitBtn1");
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        QCOMPARE(m_host.dialogRequests.size(), std::size_t(1));
        QTest::keyClick(m_play.get(), Qt::Key_Escape);
        QVERIFY(m_play->isVisible());
    }

    void windowsHaveTheirCaptionsHintsAndSizes()
    {
        TForm7 neogeo(m_host);
        QCOMPARE(m_play->windowTitle(), QString(" NEO R.A.G.E. - Play"));
        QCOMPARE(m_play->property("hint").toString(), QString(" NEO R.A.G.E.  . . .  Play  The  Game"));
        QCOMPARE(m_play->size(), QSize(240, 133));
        QCOMPARE(neogeo.windowTitle(), QString(" NEOGEO - Play"));
        QCOMPARE(neogeo.property("hint").toString(), QString(" NEOGEO  . . .  Play  The  Game"));
        QCOMPARE(neogeo.size(), QSize(242, 94));
        QCOMPARE(neogeo.minimumSize(), neogeo.maximumSize());
        for (const QWidget* form : {static_cast<QWidget*>(m_play.get()), static_cast<QWidget*>(&neogeo)}) {
            QVERIFY(!control<QPushButton>(form, "BitBtn1")->autoDefault());
            for (const char* panel : {"Panel1", "Panel2", "Panel3"}) {
                QCOMPARE(control<BevelPanel>(form, panel)->bevelOuter(), BevelPanel::Raised);
                QCOMPARE(control<BevelPanel>(form, panel)->bevelInner(), BevelPanel::None);
                QCOMPARE(control<BevelPanel>(form, panel)->bevelWidth(), 1);
            }
        }
    }

    void controlsHaveTheirPlaceTextAndFont_data()
    {
        QTest::addColumn<bool>("neoRage");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QColor>("colour");
        auto row = [](bool neoRage, const char* name, const char* parent, QRect geometry, const char* text,
                      int pixelSize, bool bold, QColor colour) {
            QTest::addRow("%s %s", neoRage ? "TForm8" : "TForm7", name)
                << neoRage << name << parent << geometry << text << pixelSize << bold << colour;
        };
        const QColor black(Qt::black), maroon(128, 0, 0);
        row(true, "Panel3", "TForm8", {7, 3, 225, 94}, "", 11, false, black);
        row(true, "Label1", "Panel3", {72, 8, 97, 17}, "", 15, true, black);
        row(true, "Label2", "Panel3", {8, 32, 65, 15}, "Directory ...", 13, true, black);
        row(true, "Label3", "Panel3", {80, 32, 3, 15}, "", 13, true, maroon);
        row(true, "RichEdit1", "Panel3", {8, 47, 209, 44}, "", 12, false, black);
        row(true, "BitBtn1", "TForm8", {71, 104, 101, 25}, "Play the Game", 12, true, black);
        row(true, "Panel1", "TForm8", {9, 115, 57, 3}, "", 11, false, black);
        row(true, "Panel2", "TForm8", {177, 115, 57, 3}, "", 11, false, black);
        row(false, "Panel3", "TForm7", {5, 5, 230, 52}, "", 11, false, black);
        row(false, "RichEdit2", "Panel3", {8, 8, 217, 33}, "", 12, false, black);
        row(false, "BitBtn1", "TForm7", {71, 64, 101, 25}, "Play the Game", 12, true, black);
        row(false, "Panel1", "TForm7", {8, 75, 57, 3}, "", 11, false, black);
        row(false, "Panel2", "TForm7", {177, 75, 57, 3}, "", 11, false, black);
    }

    void controlsHaveTheirPlaceTextAndFont()
    {
        QFETCH(bool, neoRage);
        QFETCH(QString, name);
        QFETCH(QString, parentName);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(int, pixelSize);
        QFETCH(bool, bold);
        QFETCH(QColor, colour);
        TForm7 neogeo(m_host);
        const QWidget* form = neoRage ? static_cast<QWidget*>(m_play.get()) : &neogeo;
        support::verifyControlLooks(control<QWidget>(form, name), parentName, geometry, text, pixelSize, bold,
                                    colour);
    }

    void viewersShowTheirLinesReadOnly_data()
    {
        QTest::addColumn<bool>("neoRage");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("TForm8 RichEdit1")
            << true << "RichEdit1"
            << QStringList{"- Remembers:  You Should Copy  the File", "  B.I.O.S.  NEO-GEO.ROM  in  each One",
                           "  of  the  Directories  of  the  Games.", ""};
        QTest::newRow("TForm7 RichEdit2") << false << "RichEdit2"
                                          << QStringList{" - Remembers:  You Should Rename the Files",
                                                         "   of the Games to be able to Execute them."};
    }

    void viewersShowTheirLinesReadOnly()
    {
        QFETCH(bool, neoRage);
        QFETCH(QString, name);
        QFETCH(QStringList, lines);
        TForm7 neogeo(m_host);
        const QWidget* form = neoRage ? static_cast<QWidget*>(m_play.get()) : &neogeo;
        auto* viewer = control<QPlainTextEdit>(form, name);
        QCOMPARE(viewer->toPlainText().split('\n'), lines);
        QCOMPARE(viewer->document()->blockCount(), lines.size());
        QVERIFY(!viewer->isEnabled() && viewer->isReadOnly());
        QCOMPARE(viewer->focusPolicy(), Qt::NoFocus);
        QCOMPARE(viewer->frameShape(), QFrame::NoFrame);
        QCOMPARE(viewer->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(viewer->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(viewer->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(viewer->document()->documentMargin(), 0.0);
        // Disabled, yet black letters on silver.
        QCOMPARE(viewer->palette().color(QPalette::Disabled, QPalette::Text), QColor(Qt::black));
        QCOMPARE(viewer->palette().color(QPalette::Disabled, QPalette::Base), QColor(192, 192, 192));
        // Every line is whole inside the viewer: nothing is cut at the right or the bottom.
        const QFontMetrics metrics(viewer->font());
        for (const QString& line : lines)
            QVERIFY2(metrics.horizontalAdvance(line) <= viewer->width(), qPrintable(line));
        const qsizetype shownLines = lines.filter(QRegularExpression("\\S")).size();
        QVERIFY(metrics.lineSpacing() * (shownLines - 1) + metrics.height() <= viewer->height());
    }
};

ORVELANE_WIDGET_TEST_MAIN(PlayWindowsTest)

#include "tst_playwindows.moc"
