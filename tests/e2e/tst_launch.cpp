// Starting the emulators from the real program: the NEO R.A.G.E. play window hands the
// chosen game's path, split and composed with the stored switches, to "neorage.exe" in the
// emulator's folder; the NEOGEO play window starts "neogeo.exe" bare. Recording stand-ins
// take the emulators' places.
#include "E2eSession.h"
#include "E2eSupport.h"
#include "OrvelaneScreens.h"
#include "RecordingStub.h"
#include "VirtualDisplay.h"
#include "Workspace.h"
#include "XConnection.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

#include <memory>

using namespace Orvelane;

namespace {

const QString kOpenDialogCaption = QStringLiteral("Open");

} // namespace

class LaunchTest : public QObject {
    Q_OBJECT

private:
    VirtualDisplay m_display;
    std::unique_ptr<XConnection> m_x;
    // Each test function's own; they outlive it until cleanup() has taken its picture.
    std::unique_ptr<Workspace> m_workspace;
    std::unique_ptr<E2eSession> m_session;

    // Starts the program in the workspace's working directory; its main window, or 0 after
    // a recorded failure.
    XWindowId startProgram()
    {
        m_session = std::make_unique<E2eSession>(m_display, m_workspace->workingDirectory());
        return m_session->startToMainWindow().value_or(0);
    }

    // Starts the program and presses "Play the Game" in `window`; that window, or 0 after a
    // recorded failure.
    XWindowId startAndPressPlay(const PlayWindow& window)
    {
        const XWindowId main = startProgram();
        return main != 0 ? m_session->pressPlay(main, window).value_or(0) : 0;
    }

    XWindowId openWindow(const E2eSession& session, XWindowId main, const QStringList& keys,
                         const QString& caption)
    {
        const auto window = session.openWindow(main, keys, caption);
        if (!window)
            QTest::qFail(qPrintable(session.desktop().lastError()), __FILE__, __LINE__);
        return window.value_or(0);
    }

    void choose(const E2eSession& session, const QString& path)
    {
        QVERIFY2(session.chooseInOpenDialog(path), qPrintable(session.desktop().lastError()));
    }

    void closeWindow(const E2eSession& session, XWindowId window)
    {
        QVERIFY(m_x->sendDeleteWindow(window));
        QVERIFY(session.desktop().waitUntilGone(window));
    }

    static QStringList filesNamed(const QString& root, const QString& name)
    {
        QStringList found;
        QDirIterator it(root, {name}, QDir::AllEntries | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        return found;
    }

private slots:
    void initTestCase()
    {
        E2E_START_DISPLAY(m_display);
        m_x = std::make_unique<XConnection>(m_display.name());
        QVERIFY(m_x->isOpen());
    }

    void init() { m_workspace = std::make_unique<Workspace>(); }

    void cleanup()
    {
        if (m_session)
            E2e::saveScreenIfFailed(m_session->desktop());
        m_session.reset();
        m_workspace.reset();
    }

    void neoRageGetsTheChosenGameAndTheStoredSwitches()
    {
        Workspace& workspace = *m_workspace;
        QVERIFY(workspace.writeStartFiles({.noScanlines = true, .enableVsync = true}));
        const QString log = workspace.rootPath(QStringLiteral("neorage.log"));
        QVERIFY(workspace.writeFile(QStringLiteral("My Emu/MS LUG/MS LUG.038")));
        QVERIFY(workspace.writeFile(QStringLiteral("My Emu/KOF/K.ROM")));
        QVERIFY(RecordingStub::write(workspace.rootPath(QStringLiteral("My Emu/neorage.exe")), log));
        const QString emulatorDirectory = workspace.rootPath(QStringLiteral("My Emu"));

        const XWindowId main = startProgram();
        QVERIFY(main != 0);
        E2eSession& session = *m_session;
        XWindowId play = session.pressPlay(main, kNeoRagePlay).value_or(0);
        QVERIFY(play != 0);
        choose(session, emulatorDirectory + QStringLiteral("/MS LUG/MS LUG.038"));

        QList<StubStart> starts = RecordingStub::waitForStarts(log, 1);
        QCOMPARE(starts.size(), 1);
        QCOMPARE(starts[0].program, emulatorDirectory + QStringLiteral("/neorage.exe"));
        QCOMPARE(starts[0].workingDirectory, QDir(workspace.workingDirectory()).canonicalPath());
        // The game folder and file lose their blanks; the emulator folder keeps its blank, so it
        // reaches the emulator as two words.
        QCOMPARE(starts[0].arguments,
                 (QStringList{workspace.rootPath(QStringLiteral("My")), QStringLiteral("Emu/MSLUG"),
                              QStringLiteral("MSLUG.038"), QStringLiteral("-n"), QStringLiteral("-v")}));
        closeWindow(session, play);

        // The switches travel through the settings file: V.G.A. on and No Scanlines off in
        // the configuration window count for the very next launch.
        const XWindowId configuration = openWindow(session, main, kConfigurationKeys, kConfigurationCaption);
        QVERIFY(configuration != 0);
        QVERIFY(session.desktop().click(configuration, QPoint(260, 86)));
        QVERIFY(session.desktop().click(configuration, QPoint(260, 118)));
        // Each click is saved at once: No Scanlines off, and V.G.A.'s last copy on.
        const auto bothSaved = [&] {
            QFile file(QDir(workspace.workingDirectory()).filePath(QStringLiteral("ORVELANE.DAT")));
            const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            return bytes.size() == 35 && bytes[22] == 0 && bytes[34] == 1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(bothSaved(), 5000);
        closeWindow(session, configuration);

        play = session.pressPlay(main, kNeoRagePlay).value_or(0);
        QVERIFY(play != 0);
        choose(session, emulatorDirectory + QStringLiteral("/KOF/K.ROM"));
        starts = RecordingStub::waitForStarts(log, 2);
        QCOMPARE(starts.size(), 2);
        // Choosing a game in another folder did not move the program's working directory.
        QCOMPARE(starts[1].workingDirectory, QDir(workspace.workingDirectory()).canonicalPath());
        // Only this launch's own texts, nothing left over from the longer first one.
        QCOMPARE(starts[1].arguments,
                 (QStringList{workspace.rootPath(QStringLiteral("My")), QStringLiteral("Emu/KOF"),
                              QStringLiteral("K.ROM"), QStringLiteral("-vga"), QStringLiteral("-v")}));

        closeWindow(session, play);
        QVERIFY(session.desktop().pressKeys(main, kExitKeys));
        QVERIFY2(session.waitForExit(5000) == 0, qPrintable(session.howItEnded()));
    }

    void shellCharactersInNamesReachNeoRageVerbatim()
    {
        Workspace& workspace = *m_workspace;
        // The emulator folder is the working directory itself, so the dialog, which opens
        // there, takes the game as a relative name. Qt's dialog reads double quotes in its
        // name box as a list of names, so they stand only in the folder's own name.
        const QString emulatorFolder = QStringLiteral("Emu \"x\" 'y' $(touch PWNED) ;|& `touch PWNED`");
        const QString gameDirectory = QStringLiteral("G'a;m|e&$(touch PWNED)");
        const QString gameFile = QStringLiteral("F`touch PWNED`;x|y&z'.038");
        workspace.useWorkingDirectory(emulatorFolder);
        QVERIFY(workspace.writeStartFiles({.frameSkip = true}));
        const QString log = workspace.rootPath(QStringLiteral("neorage.log"));
        QVERIFY(RecordingStub::write(
            QDir(workspace.workingDirectory()).filePath(QStringLiteral("neorage.exe")), log));
        QVERIFY(workspace.writeFile(gameDirectory + u'/' + gameFile));
        const QString emulatorDirectory = QDir(workspace.workingDirectory()).canonicalPath();

        const XWindowId play = startAndPressPlay(kNeoRagePlay);
        QVERIFY(play != 0);
        E2eSession& session = *m_session;
        choose(session, gameDirectory + u'/' + gameFile);

        const QList<StubStart> starts = RecordingStub::waitForStarts(log, 1);
        QCOMPARE(starts.size(), 1);
        QCOMPARE(starts[0].program, emulatorDirectory + QStringLiteral("/neorage.exe"));
        QCOMPARE(starts[0].workingDirectory, emulatorDirectory);
        // Split at the blanks and nothing else; the game's names lose theirs.
        QCOMPARE(starts[0].arguments,
                 (QStringList{QDir(workspace.rootPath()).canonicalPath() + QStringLiteral("/Emu"),
                              QStringLiteral("\"x\""), QStringLiteral("'y'"), QStringLiteral("$(touch"),
                              QStringLiteral("PWNED)"), QStringLiteral(";|&"), QStringLiteral("`touch"),
                              QStringLiteral("PWNED`/G'a;m|e&$(touchPWNED)"),
                              QStringLiteral("F`touchPWNED`;x|y&z'.038"), QStringLiteral("-f")}));
        QTest::qWait(300);
        QCOMPARE(filesNamed(workspace.rootPath(), QStringLiteral("PWNED")), QStringList());
        QCOMPARE(RecordingStub::read(log).size(), 1);
    }

    void cancellingTheDialogStartsNothing()
    {
        Workspace& workspace = *m_workspace;
        QVERIFY(workspace.writeStartFiles());
        const QString log = workspace.rootPath(QStringLiteral("neorage.log"));
        // Were a cancelled dialog to fall through to an empty path, this is the emulator
        // the working directory would offer.
        QVERIFY(RecordingStub::write(workspace.rootPath(QStringLiteral("neorage.exe")), log));

        const XWindowId play = startAndPressPlay(kNeoRagePlay);
        QVERIFY(play != 0);
        E2eSession& session = *m_session;
        const auto dialog = session.desktop().waitForWindow(kOpenDialogCaption);
        QVERIFY(dialog);
        QVERIFY(session.desktop().pressKeys(*dialog, {QStringLiteral("Escape")}));
        QVERIFY(session.desktop().waitUntilGone(*dialog));

        QVERIFY(session.keepsRunningFor(700));
        QVERIFY(RecordingStub::read(log).isEmpty());
        QVERIFY(session.desktop().isVisible(play));
    }

    void neoGeoStartsOncePerPressWithNoArguments()
    {
        Workspace& workspace = *m_workspace;
        // The NEO R.A.G.E. switches are no business of NEOGEO's.
        QVERIFY(workspace.writeStartFiles({.noScanlines = true, .vgaMode = true}));
        const QString log = workspace.rootPath(QStringLiteral("neogeo.log"));
        QVERIFY(RecordingStub::write(workspace.rootPath(QStringLiteral("neogeo.exe")), log));

        const XWindowId play = startAndPressPlay(kNeoGeoPlay);
        QVERIFY(play != 0);
        E2eSession& session = *m_session;
        QCOMPARE(RecordingStub::waitForStarts(log, 1).size(), 1);
        QVERIFY(session.desktop().click(play, kNeoGeoPlayButton));
        RecordingStub::waitForStarts(log, 2);
        QTest::qWait(500);
        const QList<StubStart> starts = RecordingStub::read(log);
        QCOMPARE(starts.size(), 2);
        for (const StubStart& start : starts) {
            QCOMPARE(start.arguments, QStringList());
            QCOMPARE(start.workingDirectory, QDir(workspace.workingDirectory()).canonicalPath());
            QVERIFY2(start.program.endsWith(QStringLiteral("/neogeo.exe")), qPrintable(start.program));
        }
        QVERIFY(session.desktop().isVisible(play));
    }

    // A start that cannot happen is said in an error box, once per press, never silently.
    void withoutNeoGeoThePressSaysSo()
    {
        Workspace& workspace = *m_workspace;
        QVERIFY(workspace.writeStartFiles());

        const XWindowId play = startAndPressPlay(kNeoGeoPlay);
        QVERIFY(play != 0);
        E2eSession& session = *m_session;
        const auto box = session.desktop().waitForWindow(QStringLiteral("Orvelane"));
        QVERIFY2(box, qPrintable(session.desktop().lastError()));
        QVERIFY(session.desktop().pressKeys(*box, {QStringLiteral("Return")}));
        QVERIFY(session.desktop().waitUntilGone(*box));
        QVERIFY(session.keepsRunningFor(300));
        QVERIFY(session.desktop().isVisible(play));
        QCOMPARE(session.desktop().visibleWindows(QStringLiteral("Orvelane")).size(), 0);
    }
};

QTEST_GUILESS_MAIN(LaunchTest)
#include "tst_launch.moc"
