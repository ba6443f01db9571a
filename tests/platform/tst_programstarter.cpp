// Starting the emulators: the caller never waits, not even on a file system that does not
// answer; a start is answered with what came of it (the system's own reason when it failed,
// a refusal that tells the truth when the program cannot be found, given up at the limit);
// arguments arrive as given with no shell in between; the child gets our working directory,
// no descriptor of ours and a session of its own; Windows programs go through Wine with the
// drives Wine itself reads, DOS programs through DOSBox when DOS can tell their name apart;
// every child is reaped.
#include "EmulatorPrograms.h"
#include "Files.h"
#include "ProgramStarter.h"
#include "Programs.h"
#include "StubProgram.h"
#include "SystemHost.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <future>
#include <memory>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
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

// Holds every exec of one file, as a file system that does not answer would hold it, until
// released. fanotify needs root; isValid() says whether the hold is in place.
class ExecHold {
public:
    explicit ExecHold(const QString& file) : m_fd(::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY))
    {
        if (m_fd >= 0 &&
            ::fanotify_mark(m_fd, FAN_MARK_ADD, FAN_OPEN_EXEC_PERM, AT_FDCWD, qPrintable(file)) != 0)
            m_fd = (::close(m_fd), -1);
    }
    ~ExecHold()
    {
        release();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ExecHold(const ExecHold&) = delete;
    ExecHold& operator=(const ExecHold&) = delete;

    bool isValid() const { return m_fd >= 0; }
    // The process whose exec is held, once one is (10 seconds at most).
    std::optional<pid_t> waitForHeld()
    {
        pollfd ready{m_fd, POLLIN, 0};
        fanotify_event_metadata event{};
        if (::poll(&ready, 1, 10000) != 1 || ::read(m_fd, &event, sizeof event) != sizeof event)
            return std::nullopt;
        m_held = event.fd;
        return event.pid;
    }
    void release()
    {
        if (m_held < 0)
            return;
        const fanotify_response allow{m_held, FAN_ALLOW};
        QCOMPARE(::write(m_fd, &allow, sizeof allow), ssize_t(sizeof allow));
        m_held = (::close(m_held), -1);
    }

private:
    int m_fd;
    int m_held = -1;
};

// A preparation that plans `program` itself with `arguments`.
ProgramStarter::Preparation plain(const std::string& program, const std::vector<std::string>& arguments)
{
    Command command{.file = program, .argv = {program}, .workingDirectory = {}};
    command.argv.insert(command.argv.end(), arguments.begin(), arguments.end());
    return [command](const ProgramStarter::Doing&) {
        return ProgramStarter::Prepared{PlannedStart{command, {}, {}, "F", "N"},
                                        ProgramEnvironment::current().forProgram({})};
    };
}

// NEO R.A.G.E. in `folder` on MSLUG/MSLUG.038, with No Scanlines on.
StartRequest neoRage(const std::string& folder)
{
    OptionsRecord options;
    options.NoScanlines = 1;
    return neoRageRequest(GamePath{folder, "MSLUG", "MSLUG.038"}, options, '/');
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
    void manyChildrenAreAllReaped();
    void aHeldStartIsGivenUpAndHoldsUpNoOther_data();
    void aHeldStartIsGivenUpAndHoldsUpNoOther();
    void aStartTheSystemRefusesSaysWhy_data();
    void aStartTheSystemRefusesSaysWhy();
    void relativeNameIsTakenFromWorkingDirectoryNotPath();
    void aProgramThatCannotBeFoundSaysWhy_data();
    void aProgramThatCannotBeFoundSaysWhy();
    void foreignProgramGoesThroughItsRunner_data();
    void foreignProgramGoesThroughItsRunner();
    void anEmptyPathIsSearchedAsTheCLibrarySearchesIt();
    void foreignProgramWithoutItsRunnerNamesThePackage_data();
    void foreignProgramWithoutItsRunnerNamesThePackage();
    void twoSpellingsOfADosProgramStartNothing();
    void wineDrivesAreReadAsWineReadsThem_data();
    void wineDrivesAreReadAsWineReadsThem();
    void ordinaryProgramDoesNotGoThroughWine();

private:
    QString path(const QString& name) const { return QDir(m_work->path()).filePath(name); }
    QString makeRecorder(const QString& program, const QString& recordName = QStringLiteral("record"));
    QString makeBinDirectory();
    Record waitForRecord(const QString& recordDir);
    void setPath(const QString& value) { qputenv("PATH", value.toLocal8Bit()); }
    StartOutcome answerTo(const std::function<void(const StartAnswer&)>& ask);
    StartOutcome answerTo(ProgramStarter& starter, ProgramStarter::Preparation prepare)
    {
        return answerTo(
            [&](const StartAnswer& answered) { starter.start("F", "N", prepare, this, answered); });
    }
    StartOutcome answerTo(SystemHost& host, const StartRequest& request)
    {
        return answerTo([&](const StartAnswer& answered) { host.startProgram(request, this, answered); });
    }

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

// Asks for a start and runs the event loop until it is answered.
StartOutcome TestProgramStarter::answerTo(const std::function<void(const StartAnswer&)>& ask)
{
    std::optional<StartOutcome> outcome;
    ask([&outcome](const StartOutcome& answer) { outcome = answer; });
    if (!QTest::qWaitFor([&] { return outcome.has_value(); }, 15000))
        qWarning("the start was never answered");
    return outcome.value_or(
        StartOutcome{.started = false, .message = "no answer", .parameters = {}, .directoryCaption = {}});
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

void TestProgramStarter::startDoesNotWaitAndTheEndedChildIsReaped()
{
    const QString recordDir = makeRecorder(QStringLiteral("emu"));
    QVERIFY(stub::writeFile(QDir(recordDir).filePath(QStringLiteral("hold")), {}, false));
    ProgramStarter starter;
    QVERIFY(answerTo(starter, plain("emu", {})).started);
    const Record record = waitForRecord(recordDir);
    QVERIFY(stub::processExists(record.pid));
    // The event loop watches the child; no thread is tied up waiting for it.
    QVERIFY(!threadWaitsFor(record.pid));

    QVERIFY(QFile::remove(QDir(recordDir).filePath(QStringLiteral("hold"))));
    QTRY_VERIFY_WITH_TIMEOUT(!stub::processExists(record.pid), 10000);
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
        starter.start("F", "N", plain(QStringLiteral("emu%1").arg(i).toStdString(), {std::to_string(i)}),
                      this, [&](const StartOutcome& outcome) { started += outcome.started ? 1 : 0; });
    QTRY_COMPARE_WITH_TIMEOUT(started, 8, 10000);
    for (const QString& recordDir : records) {
        const Record record = waitForRecord(recordDir);
        QVERIFY(record.pid > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!stub::processExists(record.pid), 10000);
    }
}

void TestProgramStarter::aHeldStartIsGivenUpAndHoldsUpNoOther_data()
{
    QTest::addColumn<bool>("execHeld");
    QTest::addColumn<QString>("doing"); // what the preparation says it waits on
    QTest::addColumn<QString>("what");  // what the give-up names
    QTest::newRow("held while its folder is read, for good") << false << QString() << "looking into its folder";
    QTest::newRow("held while the settings file is read")
        << false << "reading \"/run/ORVELANE.DAT\"" << "reading \"/run/ORVELANE.DAT\"";
    QTest::newRow("held in exec: the child made after the give-up ends")
        << true << QString() << "creating its process";
}

// A start held by a file system that does not answer is given up at the limit, naming what did
// not answer, and a start asked for after it answers at once; a child the system makes after
// all is ended.
void TestProgramStarter::aHeldStartIsGivenUpAndHoldsUpNoOther()
{
    QFETCH(bool, execHeld);
    QFETCH(QString, doing);
    QFETCH(QString, what);
    QVERIFY(stub::writeFile(QDir(makeRecorder("held")).filePath("hold"), {}, false));
    makeRecorder(QStringLiteral("healthy"), QStringLiteral("healthy record"));
    std::optional<ExecHold> exec;
    if (execHeld && !exec.emplace(path("held")).isValid())
        QSKIP("holding an exec needs fanotify, which needs root");
    auto forGood = std::make_shared<std::promise<void>>();
    ProgramStarter::Preparation held = [released = forGood->get_future().share(), execHeld,
                                        doing = doing.toStdString()](const ProgramStarter::Doing& tell) {
        if (!doing.empty())
            tell(doing);
        if (!execHeld)
            released.wait();
        return plain("held", {})(tell);
    };
    ProgramStarter starter(std::chrono::milliseconds(1500));
    QStringList answers;
    const auto note = [&](const StartOutcome& outcome) {
        answers << (outcome.started ? QStringLiteral("started") : QString::fromStdString(outcome.message));
    };
    starter.start("F", "held", held, this, note);
    const std::optional<pid_t> child = exec ? exec->waitForHeld() : std::nullopt;
    QCOMPARE(child.has_value(), execHeld);
    starter.start("F", "healthy", plain("healthy", {}), this, note);
    QVERIFY(starter.isStarting("held") && starter.isStarting("healthy"));
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 2, 10000);
    QCOMPARE(answers, QStringList({"started", "Cannot start held in F: " + what +
                                                  ": no answer within 1.5 seconds (it may be on a drive or a "
                                                  "network share that does not respond)."}));
    QVERIFY(!starter.isStarting("held"));
    forGood->set_value();
    if (child) {
        exec->release();
        QTRY_VERIFY_WITH_TIMEOUT(!stub::processExists(*child), 10000);
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
    const Record record = waitForRecord(recordDir);
    QCOMPARE(record.arguments, QList<QByteArray>{"game"});
    QTRY_VERIFY(!stub::processExists(record.pid));
    QVERIFY(!QFileInfo::exists(impostorRan));
}

void TestProgramStarter::aProgramThatCannotBeFoundSaysWhy_data()
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
    QTest::newRow("a link to /dev/zero") << "zero.exe"
                                         << "it is not a regular file";
    QTest::newRow("a link loop") << "loop.exe"
                                 << "it is not a regular file";
}

void TestProgramStarter::aProgramThatCannotBeFoundSaysWhy()
{
    QFETCH(QString, name);
    QVERIFY(QDir().mkdir(path(QStringLiteral("FOLDER.EXE"))));
    QVERIFY(::mkfifo("fifo.exe", 0644) == 0);
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path(QStringLiteral("zero.exe"))));
    QVERIFY(QFile::link(path(QStringLiteral("loop.exe")), path(QStringLiteral("loop.exe"))));
    QVERIFY(QFile::link(path(QStringLiteral("gone")), path(QStringLiteral("dangling.exe"))));
    const auto found = findProgram(".", name.toStdString(), ProgramEnvironment::current());
    const auto* refusal = std::get_if<StartRefusal>(&found);
    QVERIFY(refusal);
    QFETCH(QString, why);
    QCOMPARE(QString::fromStdString(refusal->reason),
             "Cannot start " + name + " in " + QDir::currentPath() + ": " + why + ".");
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

// The program is named in capitals, as on that era's discs, and still found; "Loading ..."
// is answered with the game folder's name.
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
    QTRY_VERIFY(!stub::processExists(record.pid));
}

// An empty PATH does not hide DOSBox or Wine: it means the C library's own search path.
void TestProgramStarter::anEmptyPathIsSearchedAsTheCLibrarySearchesIt()
{
    setPath(QString());
    QCOMPARE(QString::fromStdString(ProgramEnvironment::current().path), QStringLiteral("/bin:/usr/bin"));
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

    SystemHost host;
    const StartOutcome outcome = answerTo(host, neoGeoRequest());
    QVERIFY(!outcome.started);
    QVERIFY2(QString::fromStdString(outcome.message).contains(QStringLiteral("Debian package ") + package),
             outcome.message.c_str());
    QVERIFY(!QFileInfo::exists(ran));
}

// DOSBox could run either spelling; which one is its business, so neither starts.
void TestProgramStarter::twoSpellingsOfADosProgramStartNothing()
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

void TestProgramStarter::wineDrivesAreReadAsWineReadsThem_data()
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

void TestProgramStarter::wineDrivesAreReadAsWineReadsThem()
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

void TestProgramStarter::ordinaryProgramDoesNotGoThroughWine()
{
    const QString bin = makeBinDirectory();
    const QString wineRan = path(QStringLiteral("wine ran"));
    QVERIFY(stub::writeFile(QDir(bin).filePath(QStringLiteral("wine")), stub::markerScript(wineRan), true));
    setPath(bin);
    const QString recordDir = makeRecorder(QStringLiteral("neogeo.exe"));
    SystemHost host;
    QVERIFY(answerTo(host, neoGeoRequest()).started);
    const Record record = waitForRecord(recordDir);
    QCOMPARE(record.arguments, QList<QByteArray>{});
    QTRY_VERIFY(!stub::processExists(record.pid));
    QVERIFY(!QFileInfo::exists(wineRan));
}

QTEST_GUILESS_MAIN(TestProgramStarter)
#include "tst_programstarter.moc"
