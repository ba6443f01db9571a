#include "ForeignNames.h"
#include "GameLaunch.h"
#include "ProgramStart.h"
#include "Programs.h"

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
    void workedExamplesInEachForm_data();
    void workedExamplesInEachForm();
    void dosboxNeverSeesTextThatCouldActAsACommand();
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
    QTest::newRow("through Z:") << "/home/ana/neogeo/MSLUG"
                                << "Z:\\home\\ana\\neogeo\\MSLUG";
    QTest::newRow("the closer C:") << "/home/ana/.wine/drive_c/EMU"
                                   << "C:\\EMU";
    QTest::newRow("a drive's root is the bare drive") << "/home/ana/.wine/drive_c"
                                                      << "C:";
    QTest::newRow("whole folder names only") << "/home/ana/.wine/drive_cd/EMU"
                                             << "Z:\\home\\ana\\.wine\\drive_cd\\EMU";
    QTest::newRow("D: on a disc") << "/media/cd/NEO"
                                  << "D:\\NEO";
    QTest::newRow("a blank stays") << "/media/cd/NEO RAGE"
                                   << "D:\\NEO RAGE";
    QTest::newRow("a backslash in a name has no Windows form") << "/home/a\\b"
                                                               << "";
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

void TestProgramStart::workedExamplesInEachForm_data()
{
    QTest::addColumn<ProgramKind>("kind");
    QTest::addColumn<QString>("hostGame");
    QTest::addColumn<QString>("folderAsSeen");
    QTest::addColumn<QStringList>("argv");
    QTest::addColumn<QString>("workingDirectory");
    // NoScanlines and EnableVsync on, as in the first worked example.
    QTest::newRow("Windows through Wine")
        << ProgramKind::Windows << "/home/ana/EMU/MSLUG/MSLUG.038"
        << "Z:\\home\\ana\\EMU" << QStringList{"wine",
                                               "Z:\\home\\ana\\EMU\\neorage.exe",
                                               "Z:\\home\\ana\\EMU\\MSLUG",
                                               "MSLUG.038",
                                               "-n",
                                               "-v"}
        << "";
    QTest::newRow("Windows, a blank in the emulator folder splits the first argument")
        << ProgramKind::Windows << "/home/ana/NEO RAGE/MSLUG/MSLUG.038"
        << "Z:\\home\\ana\\NEO RAGE" << QStringList{"wine",
                                                    "Z:\\home\\ana\\NEO RAGE\\neorage.exe",
                                                    "Z:\\home\\ana\\NEO",
                                                    "RAGE\\MSLUG",
                                                    "MSLUG.038",
                                                    "-n",
                                                    "-v"}
        << "";
    QTest::newRow("DOS through DOSBox, folder mounted as C:")
        << ProgramKind::Dos << "/home/ana/NEO RAGE/MSLUG/MSLUG.038"
        << "C:" << QStringList{"dosbox", "-c",        "mount -u c",
                               "-c",     "mount c .", "-c",
                               "c:",     "-c",        "C:\\NEORAGE.EXE C:\\MSLUG MSLUG.038 -n -v",
                               "-c",     "exit"}
        << "/home/ana/NEO RAGE";
    QTest::newRow("this machine's program")
        << ProgramKind::Native << "/home/ana/EMU/MSLUG/MSLUG.038"
        << "/home/ana/EMU"
        << QStringList{"/home/ana/EMU/neorage.exe", "/home/ana/EMU/MSLUG", "MSLUG.038", "-n", "-v"} << "";
}

void TestProgramStart::workedExamplesInEachForm()
{
    QFETCH(ProgramKind, kind);
    QFETCH(QString, hostGame);
    QFETCH(QString, folderAsSeen);
    GamePath path = splitGamePath(hostGame.toStdString(), '/').value();
    ProgramStart start{.kind = kind,
                       .program = path.emulatorDirectory + "/neorage.exe",
                       .folder = path.emulatorDirectory,
                       .folderAsSeen = folderAsSeen.toStdString(),
                       .nameAsSeen = kind == ProgramKind::Dos ? "NEORAGE.EXE" : "neorage.exe",
                       .separator = kind == ProgramKind::Native ? '/' : '\\',
                       .runner = kind == ProgramKind::Dos ? "/usr/bin/dosbox" : "/usr/bin/wine"};
    path.emulatorDirectory = start.folderAsSeen;
    OptionsRecord options;
    options.NoScanlines = options.EnableVsync = 1;
    const NeoRageLaunch launch = composeNeoRageLaunch(path, options, start.separator);
    const std::optional<Command> command = commandFor(start, splitParameters(launch.parameters));
    QVERIFY(command);
    QTEST(support::toQStringList(command->argv), "argv");
    QTEST(QString::fromStdString(command->workingDirectory), "workingDirectory");
    QCOMPARE(QString::fromStdString(command->file),
             QString::fromStdString(kind == ProgramKind::Native ? start.program : start.runner));
}

void TestProgramStart::dosboxNeverSeesTextThatCouldActAsACommand()
{
    const ProgramStart dos{.kind = ProgramKind::Dos,
                           .program = "/e/neorage.exe",
                           .folder = "/e",
                           .folderAsSeen = "C:",
                           .nameAsSeen = "NEORAGE.EXE",
                           .separator = '\\',
                           .runner = "/usr/bin/dosbox"};
    for (const char* argument : {"A>B", "A<B", "A|B", "%PATH%", "\"A\"", "A\nexit", "A;B"})
        QVERIFY2(!commandFor(dos, {"C:\\MSLUG", argument}), argument);
    ProgramStart badName = dos;
    badName.nameAsSeen = "NEO>RAGE.EXE";
    QVERIFY(!commandFor(badName, {}));
    QVERIFY(commandFor(dos, {"C:\\K_O-F98", "K_O-F98.ROM", "-vga"}));
}

QTEST_APPLESS_MAIN(TestProgramStart)
#include "tst_programstart.moc"
