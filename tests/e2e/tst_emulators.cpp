// The real road on Linux: a DOS emulator run by a real DOSBox and a Windows emulator run by
// a real Wine, each a small program of ours that writes down the command line it received.
// The DOS one sees its folder mounted as C:; the Windows one sees Windows paths.
#include "E2eSession.h"
#include "E2eSupport.h"
#include "OrvelaneScreens.h"
#include "VirtualDisplay.h"
#include "Workspace.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

using namespace Orvelane;

namespace {

constexpr int kEmulatorWaitMs = 120000; // a new Wine prefix takes half a minute to make

QByteArray readWhenWritten(const QString& path, const QByteArray& ending, int timeoutMs = kEmulatorWaitMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray content;
    while (!deadline.hasExpired()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && (content = file.readAll()).endsWith(ending))
            return content;
        QThread::msleep(100);
    }
    return content;
}

bool copyProgram(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

// The folder `emulator` of the working directory, holding `recorder` as `program` and the game
// file `game`; its path, or an empty text when they could not be put there.
QString placeEmulator(Workspace& workspace, const QString& emulator, const char* recorder,
                      const QString& program, const QString& game)
{
    const QString folder = QDir(workspace.workingDirectory()).filePath(emulator);
    if (!workspace.writeFile(emulator + u'/' + game) ||
        !copyProgram(QLatin1String(recorder), folder + u'/' + program))
        return {};
    return folder;
}

} // namespace

class EmulatorsTest : public QObject {
    Q_OBJECT

private:
    VirtualDisplay m_display;
    // DOSBox makes the user's own configuration when there is none: here, not in the tester's home.
    QTemporaryDir m_home;
    std::unique_ptr<Workspace> m_workspace;
    std::unique_ptr<E2eSession> m_session;

    // Starts the program, opens the NEO R.A.G.E. play window and chooses `game`.
    void playNeoRage(const QString& game)
    {
        m_session = std::make_unique<E2eSession>(m_display, m_workspace->workingDirectory());
        const auto main = m_session->startToMainWindow();
        QVERIFY(main);
        QVERIFY(m_session->pressPlay(*main, kNeoRagePlay));
        QVERIFY2(m_session->chooseInOpenDialog(game), qPrintable(m_session->desktop().lastError()));
    }

private slots:
    void initTestCase()
    {
        E2E_START_DISPLAY(m_display);
        QStringList missing;
        for (const char* tool : {"dosbox", "wine"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                missing << QLatin1String(tool);
        for (const char* built : {ORVELANE_DOS_RECORDER, ORVELANE_WINDOWS_RECORDER})
            if (!QFile::exists(QLatin1String(built)))
                missing << QStringLiteral("the test program ") + QLatin1String(built);
        E2E_REQUIRE_TOOLS(missing);
        // DOSBox draws nowhere and plays no sound here; Wine keeps one prefix across runs.
        qputenv("SDL_VIDEODRIVER", "dummy");
        qputenv("SDL_AUDIODRIVER", "dummy");
        qputenv("WINEPREFIX", ORVELANE_WINE_PREFIX);
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("WINEDEBUG", "-all");
        qputenv("WINEDLLOVERRIDES", "mscoree,mshtml=");
    }

    void init()
    {
        m_workspace = std::make_unique<Workspace>();
        QVERIFY(m_workspace->writeStartFiles({.noScanlines = true, .enableVsync = true}));
    }

    void cleanup()
    {
        if (m_session)
            E2e::saveScreenIfFailed(m_session->desktop());
        m_session.reset();
        m_workspace.reset();
    }

    void dosEmulatorRunsInDosboxWithItsFolderAsC_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("conf");    // empty: none
        QTest::addColumn<QByteArray>("home"); // empty: unset
        const QByteArray testersHome = m_home.path().toLocal8Bit();
        // Named in capitals, as on that era's discs, in a folder whose name DOS could not hold.
        QTest::newRow("a folder DOS could not name") << "Neo Geo (DOS)" << QString() << testersHome;
        QTest::newRow("an old archive's dosbox.conf") << "EMU"
                                                      << "dosbox.conf" << testersHome;
        QTest::newRow("HOME unset: the user's file under a '~' folder")
            << "EMU"
            << "~/.dosbox/dosbox-0.74-3.conf" << QByteArray();
        QTest::newRow("HOME relative") << "EMU"
                                       << ".dosbox/dosbox-0.74-3.conf" << QByteArray(".");
    }

    // A configuration in the emulator folder reaches nothing: its [autoexec] would mount a
    // folder outside and write there before the emulator ran.
    void dosEmulatorRunsInDosboxWithItsFolderAsC()
    {
        QFETCH(QString, folder);
        QFETCH(QString, conf);
        QFETCH(QByteArray, home);
        const QByteArray testersHome = qgetenv("HOME");
        home.isEmpty() ? qunsetenv("HOME") : qputenv("HOME", home);
        const auto restoreHome = qScopeGuard([&] { qputenv("HOME", testersHome); });
        Workspace& workspace = *m_workspace;
        const QString emulator =
            placeEmulator(workspace, folder, ORVELANE_DOS_RECORDER, QStringLiteral("NEORAGE.EXE"),
                          QStringLiteral("MSLUG/MSLUG.038"));
        QVERIFY(!emulator.isEmpty());
        const QString outside = workspace.rootPath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(outside));
        if (!conf.isEmpty())
            QVERIFY(workspace.writeFile(folder + u'/' + conf, "[autoexec]\nmount d \"" +
                                                                  QFile::encodeName(outside) +
                                                                  "\"\necho folder > D:\\FOLDER.TXT\n"));
        playNeoRage(emulator + QStringLiteral("/MSLUG/MSLUG.038"));
        QCOMPARE(readWhenWritten(emulator + QStringLiteral("/TAIL.TXT"), "\r\n"),
                 QByteArray(" C:\\MSLUG MSLUG.038 -n -v\r\n"));
        // The [autoexec] would have run before the emulator.
        QCOMPARE(QDir(outside).entryList(QDir::Files), QStringList());
    }

    void gameNamesDosCannotUseStartNothing()
    {
        const QString emulator =
            placeEmulator(*m_workspace, QStringLiteral("EMU"), ORVELANE_DOS_RECORDER,
                          QStringLiteral("neorage.exe"), QStringLiteral("METAL SLUG/MSLUG.038"));
        QVERIFY(!emulator.isEmpty());
        playNeoRage(emulator + QStringLiteral("/METAL SLUG/MSLUG.038"));
        const auto box = m_session->desktop().waitForWindow(QStringLiteral("Orvelane"));
        QVERIFY2(box, qPrintable(m_session->desktop().lastError()));
        QVERIFY(m_session->desktop().pressKeys(*box, {QStringLiteral("Return")}));
        QVERIFY(m_session->keepsRunningFor(1000));
        QVERIFY(!QFile::exists(emulator + QStringLiteral("/TAIL.TXT")));
    }

    // NEOGEO runs bare, from the working directory, which DOSBox mounts as C:.
    void dosNeoGeoRunsBare()
    {
        Workspace& workspace = *m_workspace;
        QVERIFY(copyProgram(QStringLiteral(ORVELANE_DOS_RECORDER),
                            QDir(workspace.workingDirectory()).filePath(QStringLiteral("NeoGeo.exe"))));
        m_session = std::make_unique<E2eSession>(m_display, workspace.workingDirectory());
        const auto main = m_session->startToMainWindow();
        QVERIFY(main);
        QVERIFY(m_session->pressPlay(*main, kNeoGeoPlay));
        QCOMPARE(
            readWhenWritten(QDir(workspace.workingDirectory()).filePath(QStringLiteral("TAIL.TXT")), "\r\n"),
            QByteArray("\r\n"));
    }

    // Wine names the folders through the prefix's drives: with its Z: at the root, the worked
    // example's "C:\EMU" is "Z:" and the folder's path.
    void windowsEmulatorGetsWindowsPaths()
    {
        const QString emulator =
            placeEmulator(*m_workspace, QStringLiteral("EMU"), ORVELANE_WINDOWS_RECORDER,
                          QStringLiteral("neorage.exe"), QStringLiteral("MSLUG/MSLUG.038"));
        QVERIFY(!emulator.isEmpty());
        playNeoRage(emulator + QStringLiteral("/MSLUG/MSLUG.038"));
        const QString windowsFolder = QStringLiteral("Z:") + QString(emulator).replace(u'/', u'\\');
        const QByteArray expected = ("arg=" + windowsFolder + "\\neorage.exe\narg=" + windowsFolder +
                                     "\\MSLUG\narg=MSLUG.038\narg=-n\narg=-v\nend\n")
                                        .toLocal8Bit();
        const QByteArray written = readWhenWritten(emulator + QStringLiteral("/ARGS.TXT"), "end\n");
        QCOMPARE(written.mid(written.indexOf('\n') + 1), expected);
    }
};

QTEST_GUILESS_MAIN(EmulatorsTest)
#include "tst_emulators.moc"
