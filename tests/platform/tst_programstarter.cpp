// Starting the emulators: the caller never waits, not even on a file system that does not
// answer; a start is answered with what came of it (the system's own reason when it failed,
// given up at the limit); arguments arrive as given with no shell in between; the child gets
// our working directory, no descriptor of ours and a session of its own; every child is reaped.
#include "StartFixture.h"

#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <future>
#include <memory>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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

// A preparation that plans `program` itself with `arguments`.
ProgramStarter::Preparation plain(const std::string& program, const std::vector<std::string>& arguments)
{
    Command command{.file = program, .argv = {program}, .workingDirectory = {}};
    command.argv.insert(command.argv.end(), arguments.begin(), arguments.end());
    return [command] { return ComposedStart(PlannedStart{command, {}, {}, "F", "N"}); };
}

} // namespace

class TestProgramStarter : public StartFixture {
    Q_OBJECT

private slots:
    void argumentsArriveVerbatimAndNoShellRuns();
    void childRunsInOurWorkingDirectory();
    void childInheritsOnlyStandardDescriptors();
    void childHasASessionOfItsOwn();
    void startDoesNotWaitAndTheEndedChildIsReaped();
    void processesAreCreatedOffTheCallersThread();
    void manyChildrenAreAllReaped();
    void aStartTheSystemRefusesSaysWhy_data();
    void aStartTheSystemRefusesSaysWhy();
    void relativeNameIsTakenFromWorkingDirectoryNotPath();
    void aHeldStartLeavesTheCallerFreeAndIsGivenUpAtTheLimit();
    void theProgramIsLookedForAfterThePress();
    void childStartedWithoutEventLoopIsReaped();
    void childStillRunningWhenStarterGoesIsReaped();
};

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
    QVERIFY(answerTo(starter, plain("./emu", arguments)).started);
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
    QVERIFY(answerTo(starter, plain("emu", {})).started);
    const Record record = waitForRecord(recordDir);
    QCOMPARE(record.workingDirectory, QFileInfo(QDir::currentPath()).canonicalFilePath());
    QVERIFY(record.arguments.isEmpty());
}

void TestProgramStarter::childInheritsOnlyStandardDescriptors()
{
    const QString recordDir = makeRecorder(QStringLiteral("emu"));
    // Opened without close-on-exec, as careless code elsewhere in a program might, and open
    // until the child exists.
    const int leaky = ::open("/dev/null", O_RDONLY);
    QVERIFY(leaky > 2);
    ProgramStarter starter;
    const bool started = answerTo(starter, plain("emu", {"game"})).started;
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
    QVERIFY(answerTo(starter, plain("emu", {})).started);
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
    std::promise<void> callerBack;
    std::shared_future<void> released = callerBack.get_future().share();
    std::promise<std::thread::id> creatorPromise;
    std::future<std::thread::id> creator = creatorPromise.get_future();
    ProgramStarter starter([&](const Command&) {
        creatorPromise.set_value(std::this_thread::get_id());
        released.wait_for(std::chrono::seconds(10));
        return -ENOEXEC;
    });
    std::optional<StartOutcome> outcome;
    starter.start(plain("emu", {}), "given up", this, [&](const StartOutcome& answer) { outcome = answer; });
    callerBack.set_value();
    QCOMPARE(creator.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    QVERIFY(creator.get() != std::this_thread::get_id());
    QTRY_VERIFY(outcome.has_value());
    QVERIFY2(outcome->message.ends_with(": the system would not run it: Exec format error."),
             outcome->message.c_str());
}

void TestProgramStarter::startDoesNotWaitAndTheEndedChildIsReaped()
{
    const QString recordDir = makeRecorder(QStringLiteral("emu"));
    QVERIFY(stub::writeFile(QDir(recordDir).filePath(QStringLiteral("hold")), {}, false));
    ProgramStarter starter;
    QVERIFY(answerTo(starter, plain("emu", {})).started);
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
    int started = 0;
    for (int i = 0; i < 8; ++i)
        starter.start(plain(QStringLiteral("emu%1").arg(i).toStdString(), {std::to_string(i)}), "given up",
                      this, [&](const StartOutcome& outcome) { started += outcome.started ? 1 : 0; });
    QTRY_COMPARE_WITH_TIMEOUT(started, 8, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(starter.unreapedChildren(), 0, 10000);
    for (const QString& recordDir : records) {
        const Record record = waitForRecord(recordDir);
        QVERIFY(record.pid > 0);
        QVERIFY(!stub::processExists(record.pid));
    }
}

void TestProgramStarter::aStartTheSystemRefusesSaysWhy_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("argument");
    QTest::addColumn<QString>("reason");
    const QString missing = "No such file or directory", denied = "Permission denied";
    QTest::newRow("missing") << QStringLiteral("neogeo.exe") << QByteArray("x") << missing;
    QTest::newRow("found only on PATH") << QStringLiteral("onpath") << QByteArray("x") << missing;
    QTest::newRow("directory") << QStringLiteral("folder") << QByteArray("x") << denied;
    QTest::newRow("not executable") << QStringLiteral("plain") << QByteArray("x") << denied;
    QTest::newRow("dangling link") << QStringLiteral("dangling") << QByteArray("x") << missing;
    QTest::newRow("a run bit and no #! line")
        << QStringLiteral("bare") << QByteArray("x") << "Exec format error";
    QTest::newRow("an interpreter that is not there")
        << QStringLiteral("lost") << QByteArray("x") << missing + " (the interpreter a script names";
    QTest::newRow("empty name") << QString() << QByteArray("x") << "Invalid argument";
    QTest::newRow("argument with a NUL byte")
        << QStringLiteral("runs") << QByteArray("a\0b", 3) << "Invalid argument";
}

// Nothing runs, and the box says why in the system's own words.
void TestProgramStarter::aStartTheSystemRefusesSaysWhy()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, argument);
    const QString marker = path(QStringLiteral("ran"));
    QVERIFY(QDir().mkdir(path(QStringLiteral("folder"))));
    QVERIFY(stub::writeFile(path(QStringLiteral("plain")), stub::markerScript(marker), false));
    QVERIFY(stub::writeFile(path(QStringLiteral("runs")), stub::markerScript(marker), true));
    QVERIFY(stub::writeFile(path(QStringLiteral("bare")), ": > " + marker.toLocal8Bit() + "\n", true));
    QVERIFY(stub::writeFile(path(QStringLiteral("lost")), "#!/nonexistent/sh\n: > ran\n", true));
    QVERIFY(QFile::link(path(QStringLiteral("gone")), path(QStringLiteral("dangling"))));
    const QString bin = makeBinDirectory();
    QVERIFY(stub::writeFile(QDir(bin).filePath(QStringLiteral("onpath")), stub::markerScript(marker), true));
    setPath(bin);

    ProgramStarter starter;
    const StartOutcome outcome = answerTo(starter, plain(program.toStdString(), {argument.toStdString()}));
    QVERIFY(!outcome.started);
    QFETCH(QString, reason);
    QVERIFY2(QString::fromStdString(outcome.message)
                 .startsWith("Cannot start N in F: the system would not run it: " + reason),
             outcome.message.c_str());
    QCOMPARE(starter.unreapedChildren(), 0);
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
    QVERIFY(answerTo(starter, plain("emu", {"game"})).started);
    QCOMPARE(waitForRecord(recordDir).arguments, QList<QByteArray>{"game"});
    QTRY_COMPARE(starter.unreapedChildren(), 0);
    QVERIFY(!QFileInfo::exists(impostorRan));
}

// A folder on a file system that does not answer: the hold stands in for it. The caller
// comes back at once, its event loop runs on, the start is given up at the limit, and when
// the file system answers at last nothing starts; other starts meanwhile go ahead.
void TestProgramStarter::aHeldStartLeavesTheCallerFreeAndIsGivenUpAtTheLimit()
{
    const QString recordDir = makeRecorder(QStringLiteral("neogeo.exe"));
    QVERIFY(stub::writeFile(QDir(recordDir).filePath(QStringLiteral("hold")), {}, false));
    std::promise<void> answered;
    std::shared_future<void> released = answered.get_future().share();
    // Only the first start is held.
    SystemHost host(std::chrono::milliseconds(300),
                    [released, first = std::make_shared<std::atomic<bool>>(true)] {
                        if (first->exchange(false))
                            released.wait();
                    });
    const StartOutcome outcome = answerTo(host, neoGeoRequest());
    QCOMPARE(host.startsUnderWay(), 1);
    QVERIFY(!outcome.started);
    QCOMPARE(QString::fromStdString(outcome.message),
             "Cannot start neogeo.exe in " + QDir::currentPath() +
                 ": no answer came within 10 seconds (its folder may be on a drive or a network share that "
                 "does not respond).");
    // Nor does it hold up the next start.
    QVERIFY(QDir().mkpath(path("EMU")));
    makeRecorder("EMU/neorage.exe", "neorage record");
    StartRequest next = neoGeoRequest();
    next.folder = "EMU";
    next.name = "neorage.exe";
    QVERIFY(answerTo(host, next).started);
    QCOMPARE(host.startsUnderWay(), 1);

    answered.set_value();
    QTRY_COMPARE(host.startsUnderWay(), 0);
    // A child of the held start, kept by its "hold" file, would still be running.
    QTRY_COMPARE(host.unreapedChildren(), 0);
    QVERIFY(!stub::readRecord(recordDir).has_value());
}

// The program made while the start is held is the one found: nothing was looked up before
// the start left the caller's thread.
void TestProgramStarter::theProgramIsLookedForAfterThePress()
{
    std::promise<void> made;
    std::shared_future<void> released = made.get_future().share();
    SystemHost host(ProgramStarter::kAnswerLimit, [released] { released.wait(); });
    std::optional<StartOutcome> outcome;
    host.startProgram(neoGeoRequest(), this, [&](const StartOutcome& answer) { outcome = answer; });
    const QString recordDir = makeRecorder(QStringLiteral("neogeo.exe"));
    made.set_value();
    QTRY_VERIFY(outcome.has_value());
    QVERIFY2(outcome->started, outcome->message.c_str());
    QVERIFY(waitForRecord(recordDir).pid > 0);
}

// A thread with no event loop cannot watch the child, nor be answered; a waiting thread
// reaps the child instead.
void TestProgramStarter::childStartedWithoutEventLoopIsReaped()
{
    const QString recordDir = makeRecorder(QStringLiteral("emu"));
    std::unique_ptr<ProgramStarter> starter;
    std::thread([&] {
        starter = std::make_unique<ProgramStarter>();
        starter->start(plain("emu", {}), "given up", starter.get(), [](const StartOutcome&) {});
    }).join();
    const Record record = waitForRecord(recordDir);
    QTRY_COMPARE(starter->unreapedChildren(), 0);
    QVERIFY(!stub::processExists(record.pid));
}

void TestProgramStarter::childStillRunningWhenStarterGoesIsReaped()
{
    const QString recordDir = makeRecorder(QStringLiteral("emu"));
    const QString hold = QDir(recordDir).filePath(QStringLiteral("hold"));
    QVERIFY(stub::writeFile(hold, {}, false));
    auto starter = std::make_unique<ProgramStarter>();
    QVERIFY(answerTo(*starter, plain("emu", {})).started);
    const Record record = waitForRecord(recordDir);
    starter.reset();

    QVERIFY(stub::processExists(record.pid));
    QVERIFY(QFile::remove(hold));
    QTRY_VERIFY_WITH_TIMEOUT(!stub::processExists(record.pid), 10000);
}

QTEST_GUILESS_MAIN(TestProgramStarter)
#include "tst_programstarter.moc"
