// Finding the emulators and what their starts need: why a program cannot be found, in words
// that tell the truth; Windows programs through Wine with the drives Wine itself reads, DOS
// programs through DOSBox and only when DOS can tell their name from any other; the runners
// only from absolute PATH entries.
#include "EmulatorPrograms.h"
#include "Programs.h"
#include "StartFixture.h"

#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// NEO R.A.G.E. in `folder` on MSLUG/MSLUG.038, with No Scanlines on.
StartRequest neoRage(const std::string& folder)
{
    OptionsRecord options;
    options.NoScanlines = 1;
    return neoRageRequest(GamePath{folder, "MSLUG", "MSLUG.038"}, options, '/');
}

} // namespace

class TestEmulatorPrograms : public StartFixture {
    Q_OBJECT

private slots:
    void aProgramThatCannotBeFoundSaysWhy_data();
    void aProgramThatCannotBeFoundSaysWhy();
    void foreignProgramGoesThroughItsRunner_data();
    void foreignProgramGoesThroughItsRunner();
    void foreignProgramWithoutItsRunnerNamesThePackage_data();
    void foreignProgramWithoutItsRunnerNamesThePackage();
    void twoSpellingsOfADosProgramStartNothing();
    void wineDrivesAreReadAsWineReadsThem_data();
    void wineDrivesAreReadAsWineReadsThem();
    void ordinaryProgramDoesNotGoThroughWine();
};

void TestEmulatorPrograms::aProgramThatCannotBeFoundSaysWhy_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("why");
    QTest::newRow("missing") << "missing.exe"
                             << "there is no such file";
    QTest::newRow("a dangling link") << "dangling.exe"
                                     << "there is no such file";
    QTest::newRow("a folder") << "folder.exe"
                              << "it is a folder";
    QTest::newRow("a FIFO") << "fifo.exe"
                            << "it is not a regular file";
    QTest::newRow("a socket") << "socket.exe"
                              << "it is not a regular file";
    QTest::newRow("a link to /dev/zero") << "zero.exe"
                                         << "it is not a regular file";
    QTest::newRow("a link loop") << "loop.exe"
                                 << "it is not a regular file";
    QTest::newRow("unreadable") << "secret.exe"
                                << "it cannot be read";
}

void TestEmulatorPrograms::aProgramThatCannotBeFoundSaysWhy()
{
    QFETCH(QString, name);
    QVERIFY(QDir().mkdir(path(QStringLiteral("FOLDER.EXE"))));
    QVERIFY(::mkfifo("fifo.exe", 0644) == 0);
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path(QStringLiteral("zero.exe"))));
    QVERIFY(QFile::link(path(QStringLiteral("loop.exe")), path(QStringLiteral("loop.exe"))));
    QVERIFY(QFile::link(path(QStringLiteral("gone")), path(QStringLiteral("dangling.exe"))));
    QVERIFY(stub::writeFile(path(QStringLiteral("secret.exe")), support::windowsProgram(), false));
    QVERIFY(QFile::setPermissions(path(QStringLiteral("secret.exe")), {}));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = "socket.exe"};
    QVERIFY(::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0);
    std::optional<std::variant<FoundProgram, StartRefusal>> found;
    {
        // Root reads any file: an unreadable one is only unreadable to someone else.
        support::AsNobody nobody(QFile::encodeName(m_work->path()));
        found = findProgram(".", name.toStdString(), ProgramEnvironment::current());
    }
    ::close(socket);
    const auto* refusal = std::get_if<StartRefusal>(&*found);
    QVERIFY(refusal);
    QFETCH(QString, why);
    QCOMPARE(QString::fromStdString(refusal->reason),
             "Cannot start " + name + " in " + QDir::currentPath() + ": " + why + ".");
}

void TestEmulatorPrograms::foreignProgramGoesThroughItsRunner_data()
{
    QTest::addColumn<QString>("runner");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("executable");
    QTest::addColumn<bool>("absolute");
    const QByteArray dos("MZ\x90\0\3", 5);
    QTest::newRow("Windows, folder by a relative name")
        << "wine" << support::windowsProgram() << false << false;
    QTest::newRow("Windows, execute bit set") << "wine" << support::windowsProgram() << true << false;
    QTest::newRow("Windows, absolute folder") << "wine" << support::windowsProgram() << false << true;
    QTest::newRow("DOS, execute bit set") << "dosbox" << dos << true << false;
    QTest::newRow("DOS, absolute folder") << "dosbox" << dos << false << true;
}

// The program is named in capitals, as on that era's discs, and still found; "Loading ..."
// is answered with the game folder's name.
void TestEmulatorPrograms::foreignProgramGoesThroughItsRunner()
{
    QFETCH(QString, runner);
    QFETCH(QByteArray, content);
    QFETCH(bool, executable);
    QFETCH(bool, absolute);
    const QString bin = makeBinDirectory();
    const QString recordDir = path(runner + QStringLiteral(" record"));
    QVERIFY(QDir().mkpath(recordDir) && QDir().mkpath(path(QStringLiteral("EMU"))));
    QVERIFY(stub::writeFile(QDir(bin).filePath(runner), stub::recorderScript(recordDir), true));
    setPath(QStringLiteral("/nonexistent:") + bin);
    QVERIFY(stub::writeFile(path(QStringLiteral("EMU/NEORAGE.EXE")), content, executable));

    SystemHost host;
    const StartOutcome outcome =
        answerTo(host, neoRage(absolute ? path(QStringLiteral("EMU")).toStdString() : "EMU"));
    QVERIFY2(outcome.started, outcome.message.c_str());
    QCOMPARE(QString::fromStdString(outcome.directoryCaption), QString("MSLUG"));
    const Record record = waitForRecord(recordDir);
    const QString work = QFileInfo(m_work->path()).canonicalFilePath();
    if (runner == QStringLiteral("wine")) {
        // No Wine prefix yet: Z: is the root.
        const QByteArray folder = "Z:" + path(QStringLiteral("EMU")).replace(u'/', u'\\').toLocal8Bit();
        // The blanks of the work folder's name split the parameter text, as they would any.
        QCOMPARE(record.arguments,
                 QList<QByteArray>{folder + "\\NEORAGE.EXE"} + (folder + "\\MSLUG MSLUG.038 -n").split(' '));
        QCOMPARE(record.workingDirectory, work);
    } else {
        QCOMPARE(
            record.arguments,
            QList<QByteArray>({"-userconf", "-conf", "/dev/null", "-c", "mount -u c", "-c", "mount c .", "-c",
                               "c:", "-c", "C:\\NEORAGE.EXE C:\\MSLUG MSLUG.038 -n", "-c", "exit"}));
        QCOMPARE(record.workingDirectory, work + QStringLiteral("/EMU"));
    }
    QTRY_COMPARE(host.unreapedChildren(), 0);
}

void TestEmulatorPrograms::foreignProgramWithoutItsRunnerNamesThePackage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("pathValue");
    QTest::addColumn<QString>("package");
    const QByteArray dos("MZ\n: > ran\n");
    QTest::newRow("Windows, no wine") << support::windowsProgram() << QString() << "\"wine\"";
    QTest::newRow("DOS, no dosbox") << dos << QString() << "\"dosbox\"";
    // A "wine" among the game files must not be picked up through a PATH entry that means
    // the working directory or something under it.
    QTest::newRow("empty entry") << support::windowsProgram() << QStringLiteral(":/nonexistent")
                                 << "\"wine\"";
    QTest::newRow("dot entry") << dos << QStringLiteral(".") << "\"dosbox\"";
    QTest::newRow("relative entry") << support::windowsProgram() << QStringLiteral("sub") << "\"wine\"";
}

void TestEmulatorPrograms::foreignProgramWithoutItsRunnerNamesThePackage()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, pathValue);
    QFETCH(QString, package);
    const QString ran = path(QStringLiteral("ran"));
    QVERIFY(QDir().mkdir(path(QStringLiteral("sub"))));
    for (const char* runner : {"wine", "sub/wine", "dosbox", "sub/dosbox"})
        QVERIFY(stub::writeFile(path(QLatin1String(runner)), stub::markerScript(ran), true));
    QVERIFY(stub::writeFile(path(QStringLiteral("neogeo.exe")), content, true));
    setPath(pathValue.isNull() ? makeBinDirectory() : pathValue);

    SystemHost host;
    const StartOutcome outcome = answerTo(host, neoGeoRequest());
    QVERIFY(!outcome.started);
    QVERIFY2(QString::fromStdString(outcome.message).contains(QStringLiteral("Debian package ") + package),
             outcome.message.c_str());
    QVERIFY(!QFileInfo::exists(ran));
}

// DOSBox could run either spelling; which one is its business, so neither starts.
void TestEmulatorPrograms::twoSpellingsOfADosProgramStartNothing()
{
    const QString bin = makeBinDirectory();
    QVERIFY(
        stub::writeFile(QDir(bin).filePath(QStringLiteral("dosbox")), stub::markerScript(path("ran")), true));
    setPath(bin);
    for (const char* name : {"neogeo.exe", "NEOGEO.EXE"})
        QVERIFY(stub::writeFile(path(QLatin1String(name)), QByteArray("MZ\x90\0\3", 5), false));
    SystemHost host;
    const StartOutcome outcome = answerTo(host, neoGeoRequest());
    QCOMPARE(
        QString::fromStdString(outcome.message),
        "Cannot start neogeo.exe in " + QDir::currentPath() +
            ": its folder holds NEOGEO.EXE and neogeo.exe, which DOS cannot tell apart (keep one of them).");
    QVERIFY(!QFileInfo::exists(path("ran")));
}

void TestEmulatorPrograms::wineDrivesAreReadAsWineReadsThem_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("windows"); // "@" for Z: and the work folder's own path
    // d: leads to lnk/../games, lnk to real/sub: the kernel, and Wine, land in real/games.
    QTest::newRow("a drive through a link and ..") << "real/games/neo"
                                                   << "D:\\neo";
    QTest::newRow("not where the link's text points") << "games/neo"
                                                      << "@\\games\\neo";
    QTest::newRow("a folder reached through a link of its own") << "lnk/../games/neo"
                                                                << "D:\\neo";
    // Wine reads only lower-case drive names.
    QTest::newRow("U: in capitals is no drive") << "upper/neo"
                                                << "@\\upper\\neo";
}

void TestEmulatorPrograms::wineDrivesAreReadAsWineReadsThem()
{
    QFETCH(QString, folder);
    for (const char* made : {"prefix/dosdevices", "real/sub", "real/games/neo", "games/neo", "upper/neo"})
        QVERIFY(QDir().mkpath(path(QLatin1String(made))));
    for (const char* program :
         {"real/games/neo/neorage.exe", "games/neo/neorage.exe", "upper/neo/neorage.exe"})
        QVERIFY(stub::writeFile(path(QLatin1String(program)), support::windowsProgram(), false));
    QVERIFY(QFile::link(path("real/sub"), path("lnk")));
    QVERIFY(::symlink(qPrintable(path("lnk/../games")), qPrintable(path("prefix/dosdevices/d:"))) == 0);
    QVERIFY(QFile::link(path("upper"), path("prefix/dosdevices/U:")));
    QVERIFY(QFile::link("/", path("prefix/dosdevices/z:")));

    ProgramEnvironment environment = ProgramEnvironment::current();
    environment.winePrefix = path("prefix").toStdString();
    const auto found = findProgram(path(folder).toStdString(), "neorage.exe", environment);
    QVERIFY(std::holds_alternative<FoundProgram>(found));
    const FoundProgram& program = std::get<FoundProgram>(found);
    QFETCH(QString, windows);
    windows.replace("@", "Z:" + QString(m_work->path()).replace(u'/', u'\\'));
    QCOMPARE(QString::fromStdString(windowsPathFor(program.folder, program.wineDrives).value_or("none")),
             windows);
}

void TestEmulatorPrograms::ordinaryProgramDoesNotGoThroughWine()
{
    const QString bin = makeBinDirectory();
    const QString wineRan = path(QStringLiteral("wine ran"));
    QVERIFY(stub::writeFile(QDir(bin).filePath(QStringLiteral("wine")), stub::markerScript(wineRan), true));
    setPath(bin);
    const QString recordDir = makeRecorder(QStringLiteral("neogeo.exe"));
    SystemHost host;
    QVERIFY(answerTo(host, neoGeoRequest()).started);
    QCOMPARE(waitForRecord(recordDir).arguments, QList<QByteArray>{});
    QTRY_COMPARE(host.unreapedChildren(), 0);
    QVERIFY(!QFileInfo::exists(wineRan));
}

QTEST_GUILESS_MAIN(TestEmulatorPrograms)
#include "tst_emulatorprograms.moc"
