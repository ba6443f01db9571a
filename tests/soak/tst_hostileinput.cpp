// Hostile input, gathered in one table: settings files of every length from 0 to 64 bytes
// with random content; a settings "file" that is a folder, a link, a dangling link, a link
// loop, a FIFO or unreadable; game paths full of blanks, quotes, shell syntax, newlines,
// foreign letters, invalid UTF-8 and 4,000 characters; emulators that are missing or cannot
// run. Each gets what the program promises: the switches as far as the file holds them, a
// file only ever replaced whole, arguments handed over byte for byte with no shell between,
// a message for a path with no game folder and for an emulator that cannot be started, even
// when only the system refuses it, and never a hang or a crash.
#include "HostileSupport.h"
#include "OrvelaneApplication.h"
#include "Unit5.h"
#include "Unit7.h"
#include "Unit8.h"

#include <QLabel>

#include <filesystem>
#include <system_error>

using namespace hostile;

namespace {

// What one press of "Play the Game" left on the screen.
struct Pressed {
    QString message;   // the text of a message box, if one came up
    QString loading;   // Label1
    QString directory; // Label3
};

// A settings "file" of that name that is something else, made in the working directory.
bool makeNode(const QByteArray& kind, const QByteArray& file, const Fields& linked)
{
    if (kind == "folder")
        return ::mkdir(file.constData(), 0755) == 0;
    if (kind == "FIFO")
        return ::mkfifo(file.constData(), 0644) == 0;
    if (kind == "link to a settings file")
        return ::mkdir("saved", 0755) == 0 && writeBytes("saved/real.dat", encode(linked)) &&
               ::symlink("saved/real.dat", file.constData()) == 0;
    if (kind == "dangling link")
        return ::mkdir("saved", 0755) == 0 && ::symlink("saved/gone.dat", file.constData()) == 0;
    if (kind == "link loop")
        return ::symlink(file.constData(), file.constData()) == 0;
    if (kind == "unreadable file")
        return writeBytes(file, encode({0x33, 0x44, 1, 1, 1, 1}), 0);
    return false;
}

// An emulator program that cannot run, of the kind named; a marker shows if it ran anyway.
bool makeBrokenProgram(const QByteArray& kind, const QByteArray& program, const QByteArray& marker)
{
    if (kind == "missing")
        return true;
    if (kind == "not executable")
        return writeBytes(program, markerScript(marker), 0644);
    if (kind == "a folder")
        return ::mkdir(program.constData(), 0755) == 0;
    if (kind == "unreadable")
        return writeBytes(program, "MZ" + QByteArray(62, '\0'), 0600);
    if (kind == "a dangling link")
        return ::symlink("gone.exe", program.constData()) == 0;
    // Run by a shell, the redirection alone would leave the marker.
    if (kind == "not a format the system runs")
        return writeBytes(program, "\x01\x02 : > " + shellQuoted(marker) + '\n', 0755);
    return false;
}

} // namespace

class HostileInputTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<support::WorkFolder> m_workDir;
    QString m_startDir;
    QByteArray m_root;             // the shared folder, as bytes: "@" in the table
    QByteArray m_row;              // this row's own working directory
    soak::SettingsFileHost m_fake; // records the starts of the settings rows
    ScriptedHost m_host;
    int m_rows = 0;
    int m_passed = 0;

    QByteArray rooted(QByteArray text) const { return text.startsWith('@') ? m_root + text.mid(1) : text; }

    // Presses "Play the Game" in a fresh play window over `host`.
    static Pressed pressPlay(Host& host)
    {
        TForm8 window(host);
        window.show();
        Pressed pressed;
        pressed.message = messageFrom(&window, "BitBtn1");
        pressed.loading = window.findChild<QLabel*>("Label1")->text();
        pressed.directory = window.findChild<QLabel*>("Label3")->text();
        return pressed;
    }

    QByteArrayList playArguments(const char* path)
    {
        m_fake.starts.clear();
        m_fake.dialogAnswers = {std::string(path)};
        pressPlay(m_fake);
        return m_fake.starts.size() == 1 ? toList(m_fake.starts[0].arguments) : QByteArrayList{"<no start>"};
    }

    // Both windows keep their record for the whole run: each row starts from the baseline.
    void resetRecords()
    {
        QVERIFY(writeBytes("ORVELANE.DAT", encode(kBaseline)));
        QCOMPARE(playArguments("/EMU/GAME/GAME.ROM"),
                 (QByteArrayList{"/EMU/GAME", "GAME.ROM", "-n", "-vga"}));
        TForm5 form(m_host);
        support::settle(m_host);
        QCOMPARE(boxStates(&form), QString("1010"));
        QCOMPARE(::unlink("ORVELANE.DAT"), 0);
    }

    // A hidden temporary of a save, left beside the settings file or its link's target.
    static bool temporaryLeft()
    {
        for (const char* folder : {".", "saved"})
            if (!QDir(folder)
                     .entryList({".ORVELANE.DAT.*", ".real.dat.*", ".gone.dat.*"}, QDir::Hidden | QDir::Files)
                     .isEmpty())
                return true;
        return false;
    }

    void checkSettingsBytes(const QByteArray& bytes);
    void checkSettingsNode(const QByteArray& kind, const QByteArray& boxes);
    void checkGamePath(const QByteArrayList& parts, const QByteArrayList& expected,
                       const QByteArray& caption);
    void checkRefusedPath(const QByteArray& path);
    void checkBrokenNeoRage(const QByteArray& kind, const QByteArray& why);
    void checkBrokenNeoGeo(const QByteArray& kind);

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase()
    {
        // Names that are not valid UTF-8 do not survive a trip through QString: the folder
        // is removed by its bytes.
        std::error_code error;
        std::filesystem::remove_all(m_root.toStdString(), error);
        qInfo("soak: hostile input: %d cases, %d passed", m_rows, m_passed);
    }
    void everyInputGetsItsBehaviour_data();
    void everyInputGetsItsBehaviour();
};

void HostileInputTest::initTestCase()
{
    m_startDir = QDir::currentPath();
    m_workDir = soak::makeWorkDir();
    QVERIFY(m_workDir->isValid());
    m_root = QFile::encodeName(m_workDir->path());
    // The unreadable-file row runs as another user, who must reach its folder.
    QCOMPARE(::chmod(m_root.constData(), 0755), 0);
}

void HostileInputTest::init()
{
    armHangGuard();
    m_row = m_root + "/row-" + QByteArray::number(++m_rows);
    QVERIFY(makePath(m_row));
    QCOMPARE(::chdir(m_row.constData()), 0);
    resetRecords();
}

void HostileInputTest::cleanup()
{
    ::alarm(0);
    QVERIFY(QDir::setCurrent(m_startDir));
    m_passed += QTest::currentTestFailed() ? 0 : 1;
}

void HostileInputTest::everyInputGetsItsBehaviour_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArrayList>("input");
    QTest::addColumn<QByteArrayList>("expected");
    QTest::addColumn<QByteArray>("shows");
    const auto row = [](const QString& name, Kind kind, const QByteArrayList& input,
                        const QByteArrayList& expected = {}, const QByteArray& shows = {}) {
        QTest::newRow(qPrintable(name)) << kind << input << expected << shows;
    };

    // Settings files: the switches as far as the bytes go, anything foreign carried along.
    QRandomGenerator random(kSeed);
    for (int length = 0; length <= 64; ++length)
        row(QStringLiteral("settings file of %1 random bytes").arg(length), Kind::SettingsBytes,
            {randomContent(random, length)});
    row("settings file of 35 bytes 0xff", Kind::SettingsBytes, {QByteArray(35, char(0xff))});

    // A settings file that is not one: boxes as the window shows them, CheckBox1 first.
    row("settings file that is a folder", Kind::SettingsNode, {"folder"}, {}, "1010");
    row("settings file that is a FIFO", Kind::SettingsNode, {"FIFO"}, {}, "1010");
    row("settings file that is a link to one", Kind::SettingsNode, {"link to a settings file"}, {}, "0101");
    row("settings file that is a dangling link", Kind::SettingsNode, {"dangling link"}, {}, "1010");
    row("settings file that is a link to itself", Kind::SettingsNode, {"link loop"}, {}, "1010");
    row("settings file that cannot be read", Kind::SettingsNode, {"unreadable file"}, {}, "1010");

    // Game paths (emulator folder under "@", game folder, game file): the arguments the
    // emulator receives and the folder the window shows. Blanks split the parameter text.
    row("blanks", Kind::GamePath, {"NEO RAGE", "SAM SHO", "SAM SHO.ROM"},
        {"@/NEO", "RAGE/SAMSHO", "SAMSHO.ROM"}, "SAMSHO");
    row("quotes", Kind::GamePath, {"EMU'S\"", "\"GAME\"", "it's.ROM"}, {"@/EMU'S\"/\"GAME\"", "it's.ROM"},
        "\"GAME\"");
    row("command substitution", Kind::GamePath, {"$(touch HACKED)", "$(touch HACKED)", "$(touch HACKED).ROM"},
        {"@/$(touch", "HACKED)/$(touchHACKED)", "$(touchHACKED).ROM"}, "$(touchHACKED)");
    row("backquotes", Kind::GamePath, {"`touch HACKED`", "`id`", "`id`.ROM"},
        {"@/`touch", "HACKED`/`id`", "`id`.ROM"}, "`id`");
    row("semicolon, bar and ampersand", Kind::GamePath, {"EMU;touch HACKED|cat&", "A;B|C&D", "E&F.ROM"},
        {"@/EMU;touch", "HACKED|cat&/A;B|C&D", "E&F.ROM"}, "A;B|C&D");
    row("newlines", Kind::GamePath, {"EMU\ntouch HACKED", "NEW\nLINE", "A\nB.ROM"},
        {"@/EMU\ntouch", "HACKED/NEW\nLINE", "A\nB.ROM"}, "NEW\nLINE");
    row("variables and a star", Kind::GamePath, {"$HOME", "*", "$PATH.ROM"}, {"@/$HOME/*", "$PATH.ROM"}, "*");
    row("non-ASCII letters", Kind::GamePath, {"Émulateurs ゲーム", "Ünïcödé", "メタルスラッグ.ROM"},
        {"@/Émulateurs", "ゲーム/Ünïcödé", "メタルスラッグ.ROM"}, "Ünïcödé");
    row("invalid UTF-8", Kind::GamePath, {"EMU\xff\xfe", "G\xc3\x28", "\x80.ROM"},
        {"@/EMU\xff\xfe/G\xc3\x28", "\x80.ROM"}, "G\xc3\x28");
    const QByteArray longFolder = longEmulatorFolder(m_root, 4000);
    row("4,000 characters", Kind::GamePath, {longFolder, "GAME", "GAME.ROM"},
        {"@/" + longFolder + "/GAME", "GAME.ROM"}, "GAME");

    // Paths with no game folder inside an emulator folder: the one message the program gives.
    row("a game file in the root folder", Kind::RefusedPath, {"/GAME.ROM"});
    row("a bare file name", Kind::RefusedPath, {"GAME.ROM"});

    // Emulators that cannot be started: nothing runs, and a box says why.
    for (const char* kind :
         {"missing", "not executable", "a folder", "a dangling link", "not a format the system runs"})
        row(QStringLiteral("neorage.exe %1").arg(kind), Kind::BrokenNeoRage, {kind});
    row("emulator folder missing", Kind::BrokenNeoRage, {"folder missing"});
    row("emulator folder not searchable", Kind::BrokenNeoRage, {"folder not searchable"});
    row("neorage.exe unreadable", Kind::BrokenNeoRage, {"unreadable", "it cannot be read."});
    for (const char* kind : {"missing", "not executable", "a folder"})
        row(QStringLiteral("neogeo.exe %1").arg(kind), Kind::BrokenNeoGeo, {kind});
}

void HostileInputTest::everyInputGetsItsBehaviour()
{
    QFETCH(Kind, kind);
    QFETCH(QByteArrayList, input);
    QFETCH(QByteArrayList, expected);
    QFETCH(QByteArray, shows);
    switch (kind) {
    case Kind::SettingsBytes:
        return checkSettingsBytes(input[0]);
    case Kind::SettingsNode:
        return checkSettingsNode(input[0], shows);
    case Kind::GamePath:
        return checkGamePath(input, expected, shows);
    case Kind::RefusedPath:
        return checkRefusedPath(input[0]);
    case Kind::BrokenNeoRage:
        return checkBrokenNeoRage(input[0], input.value(1));
    case Kind::BrokenNeoGeo:
        return checkBrokenNeoGeo(input[0]);
    }
}

void HostileInputTest::checkSettingsBytes(const QByteArray& bytes)
{
    const Fields fields = loadedOver(kBaseline, bytes);
    QVERIFY(writeBytes("ORVELANE.DAT", bytes));
    QCOMPARE(playArguments("/EMU/GAME/GAME.ROM"),
             QByteArrayList({"/EMU/GAME", "GAME.ROM"}) + switchesFor(fields));
    QCOMPARE(soak::readFile("ORVELANE.DAT"), bytes);

    TForm5 form(m_host);
    form.show();
    support::settle(m_host);
    QCOMPARE(boxStates(&form).toLatin1(), boxesFor(fields));
    // Opening rewrites the file once for each switch on, and only then.
    QCOMPARE(soak::readFile("ORVELANE.DAT"), boxesFor(fields).contains('1') ? encode(fields) : bytes);
    click(&form, "BitBtn1");
    support::settle(m_host);
    QCOMPARE(soak::readFile("ORVELANE.DAT"), encode(fields));
}

void HostileInputTest::checkSettingsNode(const QByteArray& kind, const QByteArray& boxes)
{
    const Fields linked = {0x55, 0x66, 0, 1, 0, 1};
    QVERIFY(makeNode(kind, "ORVELANE.DAT", linked));
    const mode_t type = typeOf("ORVELANE.DAT");
    // Opened for reading, a FIFO would hold this test up, not the program.
    const QByteArray before = type == S_IFREG ? soak::readFile("ORVELANE.DAT") : QByteArray();
    Fields fields = kind == "link to a settings file" ? linked : kBaseline;
    {
        std::optional<AsNobody> nobody;
        if (kind == "unreadable file")
            nobody.emplace(m_row);
        QCOMPARE(playArguments("/EMU/GAME/GAME.ROM"),
                 QByteArrayList({"/EMU/GAME", "GAME.ROM"}) + switchesFor(fields));
        TForm5 form(m_host);
        form.show();
        support::settle(m_host);
        QCOMPARE(boxStates(&form).toLatin1(), boxes);
        // A save that cannot be made is said at each click.
        const bool fails = kind != "link to a settings file" && kind != "dangling link";
        QCOMPARE(!messageFrom(&form, "CheckBox1", &m_host).isEmpty(), fails);
        fields[2] ^= 1;
        QCOMPARE(!messageFrom(&form, "BitBtn1", &m_host).isEmpty(), fails);
        QCOMPARE(boxStates(&form).toLatin1(), boxesFor(fields));
    }
    QCOMPARE(typeOf("ORVELANE.DAT"), type);
    QVERIFY(!temporaryLeft());
    if (kind == "link to a settings file")
        QCOMPARE(soak::readFile("saved/real.dat"), encode(fields));
    if (kind == "dangling link")
        QCOMPARE(soak::readFile("saved/gone.dat"), encode(fields));
    if (kind == "unreadable file")
        QCOMPARE(soak::readFile("ORVELANE.DAT"), before);
}

void HostileInputTest::checkGamePath(const QByteArrayList& parts, const QByteArrayList& expected,
                                     const QByteArray& caption)
{
    QVERIFY(writeBytes("ORVELANE.DAT", encode({0, 0, 0, 0, 0, 0})));
    const QByteArray emulator = m_root + '/' + parts[0];
    const QByteArray record = m_row + "/record";
    QVERIFY(makePath(emulator));
    QVERIFY(writeBytes(emulator + "/neorage.exe", recorderScript(record), 0755));
    m_host.answer = (emulator + '/' + parts[1] + '/' + parts[2]).toStdString();

    const Pressed pressed = pressPlay(m_host);
    QCOMPARE(pressed.message, QString());
    QCOMPARE(pressed.loading, QString("Loading ..."));
    QCOMPARE(pressed.directory, QFile::decodeName(caption));
    std::optional<QByteArrayList> arguments;
    QTRY_VERIFY((arguments = recordedArguments(record)).has_value());
    QByteArrayList wanted;
    for (const QByteArray& argument : expected)
        wanted << rooted(argument);
    QCOMPARE(*arguments, wanted);
    QTRY_VERIFY(soak::childrenOf(::getpid()).isEmpty());
    QVERIFY2(!anyFileNamed(m_workDir->path(), "HACKED"), "a shell ran a command out of the path");
}

void HostileInputTest::checkRefusedPath(const QByteArray& path)
{
    m_host.answer = path.toStdString();
    const Pressed pressed = pressPlay(m_host);
    QCOMPARE(pressed.message, QString::fromUtf8(kRefusal));
    QVERIFY(soak::childrenOf(::getpid()).isEmpty());
}

void HostileInputTest::checkBrokenNeoRage(const QByteArray& kind, const QByteArray& why)
{
    const QByteArray emulator = m_row + "/EMU";
    const QByteArray marker = m_row + "/ran";
    const bool locked = kind == "folder not searchable";
    // Root reads any file: one is unreadable only to someone else.
    const bool asNobody = locked || kind == "unreadable";
    if (kind != "folder missing")
        QVERIFY(makePath(emulator));
    const QByteArray program =
        kind.startsWith("folder") ? QByteArray(locked ? "not executable" : "missing") : kind;
    QVERIFY(makeBrokenProgram(program, emulator + "/neorage.exe", marker));
    // Only the owner may look inside, and the press runs as someone else.
    if (locked)
        QVERIFY(::chmod((emulator + "/neorage.exe").constData(), 0755) == 0 &&
                ::chmod(emulator.constData(), 0700) == 0);
    m_host.answer = (emulator + "/GAME/GAME.ROM").toStdString();
    std::optional<AsNobody> nobody;
    if (asNobody)
        nobody.emplace(m_row);
    const Pressed pressed = pressPlay(m_host);
    nobody.reset();
    // A refusal by the system itself is said like any other.
    QVERIFY2(pressed.message.startsWith("Cannot start neorage.exe in " + QFile::decodeName(emulator) + ": "),
             qPrintable(pressed.message));
    QVERIFY2(pressed.message.endsWith(QString::fromUtf8(why)), qPrintable(pressed.message));
    QCOMPARE(pressed.loading, QString());
    // Answered without a start: no process was made that could leave the marker later.
    QVERIFY(soak::childrenOf(::getpid()).isEmpty());
    QVERIFY(!QFile::exists(QFile::decodeName(marker)));
}

void HostileInputTest::checkBrokenNeoGeo(const QByteArray& kind)
{
    const QByteArray marker = m_row + "/ran";
    QVERIFY(makeBrokenProgram(kind, "neogeo.exe", marker));
    TForm7 window(m_host);
    window.show();
    const QString message = messageFrom(&window, "BitBtn1");
    QVERIFY2(message.startsWith("Cannot start neogeo.exe"), qPrintable(message));
    QVERIFY(soak::childrenOf(::getpid()).isEmpty());
    QVERIFY(!QFile::exists(QFile::decodeName(marker)));
}

int main(int argc, char** argv)
{
    OrvelaneApplication app(argc, argv);
    HostileInputTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostileinput.moc"
