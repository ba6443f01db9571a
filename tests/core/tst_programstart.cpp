#include "ForeignNames.h"
#include "GameLaunch.h"
#include "Programs.h"
#include "StartComposition.h"

#include <QtTest>

namespace {

std::span<const std::uint8_t> bytesOf(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())};
}

} // namespace

Q_DECLARE_METATYPE(ProgramKind)

class TestProgramStart : public QObject {
    Q_OBJECT

private slots:
    void kindFromFirstBytes_data();
    void kindFromFirstBytes();
    void dosNameRule_data();
    void dosNameRule();
    void wineDriveClosestToThePathWins_data();
    void wineDriveClosestToThePathWins();
    void composesEachKindOfStart_data();
    void composesEachKindOfStart();
};

void TestProgramStart::kindFromFirstBytes_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("runnable");
    QTest::addColumn<ProgramKind>("kind");
    const QByteArray pe("PE\0\0", 4);
    QTest::newRow("ELF") << QByteArray("\x7f"
                                       "ELF\x02\x01\x01")
                         << true << ProgramKind::Native;
    QTest::newRow("script") << QByteArray("#!/bin/sh\n") << true << ProgramKind::Native;
    QTest::newRow("script without a run bit")
        << QByteArray("#!/bin/sh\n") << false << ProgramKind::NotAProgram;
    QTest::newRow("plain MZ") << support::mzProgram(0, {}, 128) << false << ProgramKind::Dos;
    QTest::newRow("MZ+PE") << support::mzProgram(0x80, pe, 0x100) << false << ProgramKind::Windows;
    QTest::newRow("MZ+PE with a run bit")
        << support::mzProgram(0x80, pe, 0x100) << true << ProgramKind::Windows;
    QTest::newRow("MZ+NE") << support::mzProgram(0x80, "NE", 0x100) << false << ProgramKind::Windows;
    QTest::newRow("MZ+LE") << support::mzProgram(0x80, "LE", 0x100) << true << ProgramKind::Dos;
    QTest::newRow("MZ+LX") << support::mzProgram(0x80, "LX", 0x100) << false << ProgramKind::Dos;
    QTest::newRow("PE without its two NULs")
        << support::mzProgram(0x80, "PEx", 0x100) << false << ProgramKind::Dos;
    QTest::newRow("header offset past the end")
        << support::mzProgram(0x1000, pe, 0x100) << false << ProgramKind::Dos;
    QTest::newRow("two-byte MZ") << QByteArray("MZ") << true << ProgramKind::Dos;
    QTest::newRow("empty") << QByteArray() << true << ProgramKind::Native;
    QTest::newRow("empty, no run bit") << QByteArray() << false << ProgramKind::NotAProgram;
}

// The platform reads the first 64 bytes and the 4 at the offset; the same is done here.
void TestProgramStart::kindFromFirstBytes()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, runnable);
    const QByteArray head = file.left(int(kProgramHeadSize));
    QByteArray signature;
    if (const std::optional<std::uint32_t> offset = newHeaderOffset(bytesOf(head)))
        signature = file.mid(int(*offset), 4);
    QTEST(programKind(bytesOf(head), bytesOf(signature), runnable), "kind");
}

void TestProgramStart::dosNameRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fits");
    QTest::newRow("8.3") << "MSLUG.038" << true;
    QTest::newRow("lower case") << "mslug2.rom" << true;
    QTest::newRow("eight, no dot") << "METALSLG" << true;
    QTest::newRow("marks") << "K_O-F!98.{1}" << true;
    QTest::newRow("nine before the dot") << "METALSLUG.ROM" << false;
    QTest::newRow("four after the dot") << "MSLUG.ROMS" << false;
    QTest::newRow("blank") << "SAM SHO" << false;
    QTest::newRow("two dots") << "A.B.C" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot only before") << ".ROM" << false;
    QTest::newRow("percent") << "A%PATH%" << false;
    QTest::newRow("redirection") << "A>NUL" << false;
    QTest::newRow("pipe") << "A|B" << false;
    QTest::newRow("accented") << QString::fromLatin1("CAF\xC9") << false;
    QTest::newRow("a device") << "CON" << false;
    QTest::newRow("a device, any case, any extension") << "lpt1.rom" << false;
    QTest::newRow("a numbered device's 0 is no device") << "COM0" << true;
    QTest::newRow("a device's name inside another") << "CONSOLE.038" << true;
}

void TestProgramStart::dosNameRule()
{
    QFETCH(QString, name);
    QTEST(isDosName(name.toLatin1().toStdString()), "fits");
}

void TestProgramStart::wineDriveClosestToThePathWins_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("windows");
    const auto row = [](const char* name, const char* path, const char* windows) {
        QTest::newRow(name) << path << windows;
    };
    row("through Z:", "/home/ana/neogeo/MSLUG", "Z:\\home\\ana\\neogeo\\MSLUG");
    row("the closer C:", "/home/ana/.wine/drive_c/EMU", "C:\\EMU");
    row("a drive's root is the bare drive", "/home/ana/.wine/drive_c", "C:");
    row("whole folder names only", "/home/ana/.wine/drive_cd/EMU", "Z:\\home\\ana\\.wine\\drive_cd\\EMU");
    row("D: on a disc", "/media/cd/NEO", "D:\\NEO");
    row("a blank stays", "/media/cd/NEO RAGE", "D:\\NEO RAGE");
    row("a backslash in a name has no Windows form", "/home/a\\b", "");
}

void TestProgramStart::wineDriveClosestToThePathWins()
{
    QFETCH(QString, path);
    QFETCH(QString, windows);
    const std::vector<WineDrive> drives{{'c', "/home/ana/.wine/drive_c"}, {'d', "/media/cd"}, {'z', "/"}};
    const std::optional<std::string> mapped = windowsPathFor(path.toStdString(), drives);
    QCOMPARE(QString::fromStdString(mapped.value_or("")), windows);
    QVERIFY(!windowsPathFor("/home/ana", {{'c', "/home/ana/.wine/drive_c"}}));
}

void TestProgramStart::composesEachKindOfStart_data()
{
    QTest::addColumn<ProgramKind>("kind");
    QTest::addColumn<QString>("chosen");      // empty: NEOGEO, started bare
    QTest::addColumn<QString>("finding");     // what else the platform found
    QTest::addColumn<QStringList>("command"); // the file, then the whole argv
    QTest::addColumn<QString>("workingDirectory");
    QTest::addColumn<QString>("refusal"); // the start of the refusal's reason
    QTest::addColumn<QString>("line");    // the command line written for the program's own reader
    const QString game = "/home/ana/EMU/MSLUG/MSLUG.038";
    const QString wine = "/usr/bin/wine", dosbox = "/usr/bin/dosbox";
    const QStringList dosboxStart{dosbox,       "dosbox", "-userconf", "-conf", "/dev/null", "-c",
                                  "mount -u c", "-c",     "mount c .", "-c",    "c:",        "-c"};
    const auto started = [](const char* name, ProgramKind kind, const QString& chosen,
                            const QStringList& command, const QString& workingDirectory = {}) {
        QTest::newRow(name) << kind << chosen << QString() << command << workingDirectory << QString()
                            << QString();
    };
    const auto refused = [](const char* name, ProgramKind kind, const QString& chosen, const char* finding,
                            const char* reason) {
        QTest::newRow(name) << kind << chosen << finding << QStringList() << QString() << reason << QString();
    };
    // NoScanlines and EnableVsync on, as in the first worked example.
    started("this machine's program", ProgramKind::Native, game,
            {"/home/ana/EMU/neorage.exe", "/home/ana/EMU/neorage.exe", "/home/ana/EMU/MSLUG", "MSLUG.038",
             "-n", "-v"});
    started("this machine's, game folder in the root", ProgramKind::Native, "/MSLUG/MSLUG.038",
            {"/neorage.exe", "/neorage.exe", "/MSLUG", "MSLUG.038", "-n", "-v"});
    started("Windows through Wine", ProgramKind::Windows, game,
            {wine, "wine", "Z:\\home\\ana\\EMU\\neorage.exe", "Z:\\home\\ana\\EMU\\MSLUG", "MSLUG.038", "-n",
             "-v"});
    started("Windows, game folder in the root: the bare drive", ProgramKind::Windows, "/MSLUG/MSLUG.038",
            {wine, "wine", "Z:\\neorage.exe", "Z:\\MSLUG", "MSLUG.038", "-n", "-v"});
    started("DOS through DOSBox, folder mounted as C:", ProgramKind::Dos,
            "/home/ana/NEO RAGE/MSLUG/MSLUG.038",
            dosboxStart + QStringList{"C:\\NEORAGE.EXE C:\\MSLUG MSLUG.038 -n -v", "-c", "exit"},
            "/home/ana/NEO RAGE");
    started("DOS on Linux: a ' reaches DOS as it is", ProgramKind::Dos, "/e/KOF'98/KOF'98.ROM",
            dosboxStart + QStringList{"C:\\NEORAGE.EXE C:\\KOF'98 KOF'98.ROM -n -v", "-c", "exit"}, "/e");
    // SDL 1.2 splits DOSBox for Windows' command line; DOSBox then makes a quote of every "'".
    QTest::newRow("DOS through DOSBox for Windows: NUL, no console, a line for its reader")
        << ProgramKind::Dos << game << QString("windows")
        << QStringList{dosbox,       "dosbox",
                       "-noconsole", "-userconf",
                       "-conf",      "NUL",
                       "-c",         "mount -u c",
                       "-c",         "mount c .",
                       "-c",         "c:",
                       "-c",         "C:\\NEORAGE.EXE C:\\MSLUG MSLUG.038 -n -v",
                       "-c",         "exit"}
        << QString("/home/ana/EMU") << QString()
        << QString("dosbox -noconsole -userconf -conf NUL -c \"mount -u c\" -c \"mount c .\" -c c: -c "
                   "\"C:\\NEORAGE.EXE C:\\MSLUG MSLUG.038 -n -v\" -c exit");
    refused("DOS through DOSBox for Windows, a ' in the game's names", ProgramKind::Dos,
            "/e/KOF'98/KOF'98.ROM", "windows",
            "Cannot start neorage.exe in /e: DOSBox for Windows cannot hand \"'\" on to the DOS program in "
            "\"C:\\NEORAGE.EXE C:\\KOF'98 KOF'98.ROM -n -v\" (it makes a quote of every \"'\")");
    started("NEOGEO, this machine's, bare", ProgramKind::Native, {}, {"./neogeo.exe", "./neogeo.exe"});
    started("NEOGEO, DOS, bare", ProgramKind::Dos, {},
            dosboxStart + QStringList{"C:\\NEOGEO.EXE", "-c", "exit"}, ".");
    refused(
        "Windows, no drive for the folder", ProgramKind::Windows, game, "no drive",
        "Cannot start neorage.exe in /home/ana/EMU: Wine has no drive for its folder (winecfg can add one)");
    refused("Windows, a \\ in the folder's name", ProgramKind::Windows, "/home/a\\b/MSLUG/MSLUG.038", "",
            "Cannot start neorage.exe in /home/a\\b: its folder's path holds a \"\\\", and no Windows path");
    refused(
        "DOS, two spellings of the program", ProgramKind::Dos, game, "two spellings",
        "Cannot start neorage.exe in /home/ana/EMU: its folder holds NEORAGE.EXE and neorage.exe, which DOS "
        "cannot tell apart");
    refused("DOS, a blank in the game folder", ProgramKind::Dos, "/e/METAL SLUG/MSLUG.038", "",
            "DOS cannot use the name \"METAL SLUG\": DOS names have 1 to 8 characters");
    QTest::newRow("DOS, no home folder: no user configuration")
        << ProgramKind::Dos << QString() << QString("no home")
        << QStringList{dosbox, "dosbox"} + dosboxStart.mid(3) + QStringList{"C:\\NEOGEO.EXE", "-c", "exit"}
        << QString(".") << QString() << QString();
    refused("DOS, a device's name for the game", ProgramKind::Dos, "/e/NUL/MSLUG.038", "",
            "DOS cannot use the name \"NUL\": DOS takes it for a device");
    refused(
        "Windows, a relative WINEPREFIX", ProgramKind::Windows, game, "prefix relative",
        "Cannot start neorage.exe in /home/ana/EMU: the Wine prefix \"w\" (WINEPREFIX) is a relative path");
    refused("Windows, a file for the prefix", ProgramKind::Windows, game, "prefix a file",
            "Cannot start neorage.exe in /home/ana/EMU: the Wine prefix \"/home/ana/.wine\" is not a folder");
    refused("Windows, an unreadable prefix", ProgramKind::Windows, game, "prefix unreadable",
            "Cannot start neorage.exe in /home/ana/EMU: the Wine prefix \"/home/ana/.wine\" cannot be read");
    refused("Windows, no WINEPREFIX and no home", ProgramKind::Windows, game, "no home",
            "Cannot start neorage.exe in /home/ana/EMU: WINEPREFIX is not set, and there is no home folder");
    refused("DOS, a folder that may not be entered", ProgramKind::Dos, game, "locked",
            "Cannot start neorage.exe in /home/ana/EMU: DOSBox cannot mount its folder");
    refused(
        "neither a program nor executable", ProgramKind::NotAProgram, game, "",
        "Cannot start neorage.exe in /home/ana/EMU: it is neither a Windows or DOS program nor an executable "
        "file.");
}

// The platform's findings are made up here; what the platform finds is tested where it finds it.
void TestProgramStart::composesEachKindOfStart()
{
    QFETCH(ProgramKind, kind);
    QFETCH(QString, chosen);
    QFETCH(QString, finding);
    QFETCH(QString, refusal);
    OptionsRecord options;
    options.NoScanlines = options.EnableVsync = 1;
    const StartRequest request =
        chosen.isEmpty() ? neoGeoRequest()
                         : neoRageRequest(splitGamePath(chosen.toStdString(), '/').value(), options, '/');
    const bool foreign = kind == ProgramKind::Windows || kind == ProgramKind::Dos;
    FoundProgram found{.kind = kind,
                       .program = (request.folder == "/" ? "" : request.folder) + "/" + request.name,
                       .folder = request.folder,
                       .name = request.name,
                       .spellings = {request.name},
                       .runner = !foreign                   ? ""
                                 : kind == ProgramKind::Dos ? "/usr/bin/dosbox"
                                                            : "/usr/bin/wine",
                       .wineDrives = {},
                       .folderEnterable = finding != "locked",
                       .home = finding == "no home" ? "" : "/home/ana",
                       .winePrefix = finding == "prefix relative" ? "w" : "/home/ana/.wine",
                       .winePrefixState = finding == "prefix relative"     ? WinePrefixState::Relative
                                          : finding == "prefix a file"     ? WinePrefixState::NotAFolder
                                          : finding == "prefix unreadable" ? WinePrefixState::Unreadable
                                          : finding == "no home"           ? WinePrefixState::NoHome
                                                                           : WinePrefixState::Usable,
                       .system = finding == "windows" ? HostSystem::Windows : HostSystem::Linux};
    if (finding != "no drive")
        found.wineDrives = {{'z', "/"}};
    if (finding == "two spellings")
        found.spellings = {"NEORAGE.EXE", "neorage.exe"};

    const ComposedStart composed = composeStart(found, request);
    if (!refusal.isEmpty()) {
        QVERIFY(std::holds_alternative<StartRefusal>(composed));
        const QString reason = QString::fromStdString(std::get<StartRefusal>(composed).reason);
        QVERIFY2(reason.startsWith(refusal), qPrintable(reason));
        return;
    }
    QVERIFY(std::holds_alternative<PlannedStart>(composed));
    const PlannedStart& plan = std::get<PlannedStart>(composed);
    QTEST(QStringList(QString::fromStdString(plan.command.file)) + support::toQStringList(plan.command.argv),
          "command");
    QTEST(QString::fromStdString(plan.command.workingDirectory), "workingDirectory");
    QTEST(QString::fromStdString(plan.command.commandLine), "line");
    QCOMPARE(QString::fromStdString(plan.directoryCaption), chosen.section(u'/', -2, -2));
}

QTEST_APPLESS_MAIN(TestProgramStart)
#include "tst_programstart.moc"
