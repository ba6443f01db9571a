// Starting the emulators: arguments arrive as given with no shell in between, the child
// gets our working directory, no descriptor of ours and a session of its own, Windows
// programs go through Wine and DOS programs through DOSBox, and every child is reaped.
#include "EmulatorPrograms.h"
#include "Files.h"
#include "ProgramStarter.h"
#include "Programs.h"
#include "StubProgram.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <future>
#include <memory>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using stub::Record;

namespace {

// True when one of our threads sits in a blocking wait for `pid`.
bool threadWaitsFor(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile syscall(tasks.filePath(task + QStringLiteral("/syscall")));
        if (!syscall.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> fields = syscall.readAll().split(' ');
        bool ok = false;
        if (fields.size() > 1 && fields[0].toLong() == SYS_wait4 && fields[1].toLongLong(&ok, 16) == pid &&
            ok)
            return true;
    }
    return false;
}

// The command that runs `program` itself with `arguments`.
Command plain(const std::string& program, const std::vector<std::string>& arguments)
{
    Command command{.file = program, .argv = {program}, .workingDirectory = {}};
    command.argv.insert(command.argv.end(), arguments.begin(), arguments.end());
    return command;
}

// As the play windows do: find the program, decide how it runs, start it.
bool startEmulator(ProgramStarter& starter, const std::string& folder, const char* name,
                   const std::vector<std::string>& arguments)
{
    const PreparedStart prepared = prepareProgramStart(folder, name);
    const auto* start = std::get_if<ProgramStart>(&prepared);
    const std::optional<Command> command = start ? commandFor(*start, arguments) : std::nullopt;
    return command && starter.start(*command);
}

} // namespace

class TestProgramStarter : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void argumentsArriveVerbatimAndNoShellRuns();
    void childRunsInOurWorkingDirectory();
    void childInheritsOnlyStandardDescriptors();
    void childHasASessionOfItsOwn();
    void startDoesNotWaitAndTheEndedChildIsReaped();
    void processesAreCreatedOffTheCallersThread();
    void manyChildrenAreAllReaped();
    void nothingStartsForWhatIsNotAProgram_data();
    void nothingStartsForWhatIsNotAProgram();
    void relativeNameIsTakenFromWorkingDirectoryNotPath();
    void nameFoundOnlyOnPathStartsNothing();
    void foreignProgramGoesThroughItsRunner_data();
    void foreignProgramGoesThroughItsRunner();
    void foreignProgramWithoutItsRunnerNamesThePackage_data();
    void foreignProgramWithoutItsRunnerNamesThePackage();
    void ordinaryProgramDoesNotGoThroughWine();
    void childStartedWithoutEventLoopIsReaped();
    void childStillRunningWhenStarterGoesIsReaped();

private:
    QString path(const QString& name) const { return QDir(m_work->path()).filePath(name); }
    QString makeRecorder(const QString& program, const QString& recordName = QStringLiteral("record"));
    QString makeBinDirectory();
    Record waitForRecord(const QString& recordDir);
    void setPath(const QString& value) { qputenv("PATH", value.toLocal8Bit()); }

    std::unique_ptr<support::WorkFolder> m_work;
    std::vector<std::unique_ptr<QTemporaryDir>> m_extraDirs;
    QByteArray m_savedPath;
};

void TestProgramStarter::init()
{
    m_savedPath = qgetenv("PATH");
    // No Wine prefix: Z: is the root.
    qputenv("WINEPREFIX", QByteArray("/nonexistent/wine prefix"));
    // Blanks in the name: a launcher that pastes paths into a command text breaks here.
    m_work =
        std::make_unique<support::WorkFolder>(QDir::tempPath() + QStringLiteral("/orvelane work dir XXXXXX"));
    QVERIFY(m_work->isValid());
}

void TestProgramStarter::cleanup()
{
    m_work->leave();
    qputenv("PATH", m_savedPath);
    m_extraDirs.clear();
    m_work.reset();
}

// Writes the recorder `program` (relative to the work dir) recording into `recordName`.
QString TestProgramStarter::makeRecorder(const QString& program, const QString& recordName)
{
    const QString recordDir = path(recordName);
    QDir().mkpath(recordDir);
    if (!stub::writeFile(path(program), stub::recorderScript(recordDir), true))
        return {};
    return recordDir;
}

QString TestProgramStarter::makeBinDirectory()
{
    m_extraDirs.push_back(
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/orvelane bin XXXXXX")));
    return m_extraDirs.back()->path();
}

Record TestProgramStarter::waitForRecord(const QString& recordDir)
{
    std::optional<Record> record;
    if (!QTest::qWaitFor([&] { return (record = stub::readRecord(recordDir)).has_value(); }, 10000))
        qWarning("the stub left no record in %s", qPrintable(recordDir));
    return record.value_or(Record{});
}

void TestProgramStarter::argumentsArriveVerbatimAndNoShellRuns()
{
    const QString recordDir = makeRecorder(QStringLiteral("emu"));
    const std::vector<std::string> arguments = {"$(touch x)",
                                                "`touch y`",
                                                "; touch z",
                                                "| touch w",
                                                "& touch v",
                                                "it's \"quoted\"",
                                                "",
                                                "two  blanks",
                                                "*",
                                                "\\back\\slash",
                                                "new\nline",
                                                "$HOME",
                                                "Ünïcödé ゲーム",
                                                std::string(4000, 'a')};
    ProgramStarter starter;
    QVERIFY(starter.start(plain("./emu", arguments)));
    const Record record = waitForRecord(recordDir);

    QList<QByteArray> expected;
    for (const std::string& argument : arguments)
        expected.append(QByteArray::fromStdString(argument));
    QCOMPARE(record.arguments, expected);
    const QStringList entries = QDir(m_work->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    QCOMPARE(entries, QStringList({QStringLiteral("emu"), QStringLiteral("record")}));
}

void TestProgramStarter::childRunsInOurWorkingDirectory()
{
    const QString recordDir = makeRecorder(QStringLiteral("emu"));
    ProgramStarter starter;
    QVERIFY(starter.start(plain("emu", {})));
    const Record record = waitForRecord(recordDir);
    QCOMPARE(record.workingDirectory, QFileInfo(QDir::currentPath()).canonicalFilePath());
    QVERIFY(record.arguments.isEmpty());
}

void TestProgramStarter::childInheritsOnlyStandardDescriptors()
{
    const QString recordDir = makeRecorder(QStringLiteral("emu"));
    // Opened without close-on-exec, as careless code elsewhere in a program might.
    const int leaky = ::open("/dev/null", O_RDONLY);
    QVERIFY(leaky > 2);
    ProgramStarter starter;
    const bool started = starter.start(plain("emu", {"game"}));
    ::close(leaky);
    QVERIFY(started);
    const Record record = waitForRecord(recordDir);
    // 0, 1 and 2, and the one descriptor ls opens to read the list (the lowest free one).
    QCOMPARE(record.descriptors, QStringList({"0", "1", "2", "3"}));
}

void TestProgramStarter::childHasASessionOfItsOwn()
{
    const QString recordDir = makeRecorder(QStringLiteral("emu"));
    ProgramStarter starter;
    QVERIFY(starter.start(plain("emu", {})));
    const Record record = waitForRecord(recordDir);
    QVERIFY(record.pid > 0);
    QVERIFY(record.session != ::getsid(0));
    QCOMPARE(record.session, record.pid);
}

// Creating a process holds its creator until the child reaches exec, tens of milliseconds on
// a busy machine: that wait must never fall on the caller, the event loop's thread. The
// creator here is held until the caller has come back from start().
void TestProgramStarter::processesAreCreatedOffTheCallersThread()
{
    makeRecorder(QStringLiteral("emu"));
    std::promise<void> callerBack;
    std::shared_future<void> released = callerBack.get_future().share();
    std::promise<std::thread::id> creatorPromise;
    std::future<std::thread::id> creator = creatorPromise.get_future();
    ProgramStarter starter([&](const Command&) {
        creatorPromise.set_value(std::this_thread::get_id());
        released.wait_for(std::chrono::seconds(10));
        return -1;
    });
    QVERIFY(starter.start(plain("emu", {})));
    callerBack.set_value();
    QCOMPARE(creator.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    QVERIFY(creator.get() != std::this_thread::get_id());
    QTRY_COMPARE(starter.unreapedChildren(), 0);
}

void TestProgramStarter::startDoesNotWaitAndTheEndedChildIsReaped()
{
    const QString recordDir = makeRecorder(QStringLiteral("emu"));
    QVERIFY(stub::writeFile(QDir(recordDir).filePath(QStringLiteral("hold")), {}, false));
    ProgramStarter starter;
    QVERIFY(starter.start(plain("emu", {})));
    const Record record = waitForRecord(recordDir);
    QVERIFY(stub::processExists(record.pid));
    QCOMPARE(starter.unreapedChildren(), 1);
    // The event loop watches the child; no thread is tied up waiting for it.
    QVERIFY(!threadWaitsFor(record.pid));

    QVERIFY(QFile::remove(QDir(recordDir).filePath(QStringLiteral("hold"))));
    QTRY_COMPARE_WITH_TIMEOUT(starter.unreapedChildren(), 0, 10000);
    QVERIFY(!stub::processExists(record.pid));
    errno = 0;
    QCOMPARE(::waitpid(static_cast<pid_t>(record.pid), nullptr, WNOHANG), -1);
    QCOMPARE(errno, ECHILD);
}

void TestProgramStarter::manyChildrenAreAllReaped()
{
    // All the stubs are written before the first start: a child being created holds copies
    // of our descriptors until it execs, and a script still open for writing in that moment
    // cannot be run ("Text file busy").
    std::vector<QString> records;
    for (int i = 0; i < 8; ++i) {
        const QString name = QStringLiteral("emu%1").arg(i);
        records.push_back(makeRecorder(name, name + QStringLiteral(" record")));
    }
    ProgramStarter starter;
    for (int i = 0; i < 8; ++i)
        QVERIFY(starter.start(plain(QStringLiteral("emu%1").arg(i).toStdString(), {std::to_string(i)})));
    QTRY_COMPARE_WITH_TIMEOUT(starter.unreapedChildren(), 0, 10000);
    for (const QString& recordDir : records) {
        const Record record = waitForRecord(recordDir);
        QVERIFY(record.pid > 0);
        QVERIFY(!stub::processExists(record.pid));
    }
}

void TestProgramStarter::nothingStartsForWhatIsNotAProgram_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("argument");
    QTest::newRow("missing") << QStringLiteral("neogeo.exe") << QByteArray("x");
    QTest::newRow("directory") << QStringLiteral("folder") << QByteArray("x");
    QTest::newRow("not executable") << QStringLiteral("plain") << QByteArray("x");
    QTest::newRow("dangling link") << QStringLiteral("dangling") << QByteArray("x");
    QTest::newRow("empty name") << QString() << QByteArray("x");
    QTest::newRow("argument with a NUL byte") << QStringLiteral("runs") << QByteArray("a\0b", 3);
}

void TestProgramStarter::nothingStartsForWhatIsNotAProgram()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, argument);
    const QString marker = path(QStringLiteral("ran"));
    QVERIFY(QDir().mkdir(path(QStringLiteral("folder"))));
    QVERIFY(stub::writeFile(path(QStringLiteral("plain")), stub::markerScript(marker), false));
    QVERIFY(stub::writeFile(path(QStringLiteral("runs")), stub::markerScript(marker), true));
    QVERIFY(QFile::link(path(QStringLiteral("gone")), path(QStringLiteral("dangling"))));

    ProgramStarter starter;
    QVERIFY(!starter.start(plain(program.toStdString(), {argument.toStdString()})));
    QCOMPARE(starter.unreapedChildren(), 0);
    QTest::qWait(100);
    QVERIFY(!QFileInfo::exists(marker));
}

void TestProgramStarter::relativeNameIsTakenFromWorkingDirectoryNotPath()
{
    const QString bin = makeBinDirectory();
    const QString impostorRan = path(QStringLiteral("impostor ran"));
    QVERIFY(
        stub::writeFile(QDir(bin).filePath(QStringLiteral("emu")), stub::markerScript(impostorRan), true));
    setPath(bin);
    const QString recordDir = makeRecorder(QStringLiteral("emu"));

    ProgramStarter starter;
    QVERIFY(starter.start(plain("emu", {"game"})));
    QCOMPARE(waitForRecord(recordDir).arguments, QList<QByteArray>{"game"});
    QTRY_COMPARE(starter.unreapedChildren(), 0);
    QVERIFY(!QFileInfo::exists(impostorRan));
}

void TestProgramStarter::nameFoundOnlyOnPathStartsNothing()
{
    const QString bin = makeBinDirectory();
    const QString ran = path(QStringLiteral("ran"));
    QVERIFY(stub::writeFile(QDir(bin).filePath(QStringLiteral("neogeo.exe")), stub::markerScript(ran), true));
    setPath(bin);
    ProgramStarter starter;
    QVERIFY(!starter.start(plain("neogeo.exe", {})));
    QTest::qWait(100);
    QVERIFY(!QFileInfo::exists(ran));
}

void TestProgramStarter::foreignProgramGoesThroughItsRunner_data()
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

// The program is named in capitals, as on that era's discs, and still found.
void TestProgramStarter::foreignProgramGoesThroughItsRunner()
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

    const std::string folder = absolute ? path(QStringLiteral("EMU")).toStdString() : "EMU";
    ProgramStarter starter;
    QVERIFY(startEmulator(starter, folder, "neorage.exe", {"C:\\EMU\\MSLUG", "MSLUG.038", "-n"}));
    const Record record = waitForRecord(recordDir);
    const QString work = QFileInfo(m_work->path()).canonicalFilePath();
    if (runner == QStringLiteral("wine")) {
        // No Wine prefix yet: Z: is the root.
        const QByteArray program =
            "Z:" + path(QStringLiteral("EMU\\NEORAGE.EXE")).replace(u'/', u'\\').toLocal8Bit();
        QCOMPARE(record.arguments, QList<QByteArray>({program, "C:\\EMU\\MSLUG", "MSLUG.038", "-n"}));
        QCOMPARE(record.workingDirectory, work);
    } else {
        QCOMPARE(record.arguments,
                 QList<QByteArray>({"-c", "mount -u c", "-c", "mount c .", "-c", "c:", "-c",
                                    "C:\\NEORAGE.EXE C:\\EMU\\MSLUG MSLUG.038 -n", "-c", "exit"}));
        QCOMPARE(record.workingDirectory, work + QStringLiteral("/EMU"));
    }
    QTRY_COMPARE(starter.unreapedChildren(), 0);
}

void TestProgramStarter::foreignProgramWithoutItsRunnerNamesThePackage_data()
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

void TestProgramStarter::foreignProgramWithoutItsRunnerNamesThePackage()
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

    const PreparedStart prepared = prepareProgramStart(".", "neogeo.exe");
    const auto* refusal = std::get_if<StartRefusal>(&prepared);
    QVERIFY(refusal);
    QVERIFY2(QString::fromStdString(refusal->reason).contains(QStringLiteral("Debian package ") + package),
             refusal->reason.c_str());
    QTest::qWait(100);
    QVERIFY(!QFileInfo::exists(ran));
}

void TestProgramStarter::ordinaryProgramDoesNotGoThroughWine()
{
    const QString bin = makeBinDirectory();
    const QString wineRan = path(QStringLiteral("wine ran"));
    QVERIFY(stub::writeFile(QDir(bin).filePath(QStringLiteral("wine")), stub::markerScript(wineRan), true));
    setPath(bin);
    const QString recordDir = makeRecorder(QStringLiteral("neorage.exe"));
    ProgramStarter starter;
    QVERIFY(starter.start(plain("neorage.exe", {"MSLUG"})));
    QCOMPARE(waitForRecord(recordDir).arguments, QList<QByteArray>{"MSLUG"});
    QTRY_COMPARE(starter.unreapedChildren(), 0);
    QVERIFY(!QFileInfo::exists(wineRan));
}

// A thread with no event loop cannot watch the child; a waiting thread reaps it instead.
void TestProgramStarter::childStartedWithoutEventLoopIsReaped()
{
    const QString recordDir = makeRecorder(QStringLiteral("emu"));
    bool started = false;
    int unreapedAtEnd = -1;
    std::thread worker([&] {
        ProgramStarter starter;
        started = starter.start(plain("emu", {}));
        for (int i = 0; i < 500 && starter.unreapedChildren() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        unreapedAtEnd = starter.unreapedChildren();
    });
    worker.join();
    QVERIFY(started);
    QCOMPARE(unreapedAtEnd, 0);
    const Record record = waitForRecord(recordDir);
    QVERIFY(!stub::processExists(record.pid));
}

void TestProgramStarter::childStillRunningWhenStarterGoesIsReaped()
{
    const QString recordDir = makeRecorder(QStringLiteral("emu"));
    const QString hold = QDir(recordDir).filePath(QStringLiteral("hold"));
    QVERIFY(stub::writeFile(hold, {}, false));
    auto starter = std::make_unique<ProgramStarter>();
    QVERIFY(starter->start(plain("emu", {})));
    const Record record = waitForRecord(recordDir);
    starter.reset();

    QVERIFY(stub::processExists(record.pid));
    QVERIFY(QFile::remove(hold));
    QTRY_VERIFY_WITH_TIMEOUT(!stub::processExists(record.pid), 10000);
}

QTEST_GUILESS_MAIN(TestProgramStarter)
#include "tst_programstarter.moc"
