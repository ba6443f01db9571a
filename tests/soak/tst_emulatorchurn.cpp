// Emulator churn: two hundred starts of a stand-in emulator in quick succession from the
// event loop's thread, some that end at once and some that run a while. None is left behind
// as a zombie, none holds a descriptor of ours, and emulators still running outlive the
// launcher that started them. How long a start held the thread is printed, not judged: that
// depends on the machine; that processes are created off the caller's thread is checked,
// without a clock, in the platform tests.
//
// The program runs itself again as the launcher in the last test:
//   --launcher FOLDER NAME ENDING   starts FOLDER's neorage.exe on the game records/NAME, then
//                                   quits ("quit") or waits to be killed
#include "SoakSupport.h"
#include "SystemHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const int kStarts = soak::soakCount(200);
constexpr int kWaitMs = 30000;

// Writes its pid and the list of its open descriptors to FOLDER/NAME, its two arguments
// (records/bare-PID in the working directory when started bare), then keeps running for
// half a second when NAME ends in "-sleep" and for a minute when it ends in "-long". The
// list is ls's own, which it inherits from the stub; ls adds one descriptor of its own, the
// /proc folder it is reading.
const QByteArray kStub =
    "#!/bin/sh\n"
    "out=\"${1:-records}/${2:-bare-$$}\"\n"
    "{ echo $$; /bin/ls -l /proc/self/fd; } > \"$out.tmp\"\n"
    "/bin/mv \"$out.tmp\" \"$out\"\n"
    "case \"$out\" in *-sleep) exec /bin/sleep 0.5;; *-long) exec /bin/sleep 60;; esac\n";

bool writeStub(const QString& path)
{
    QFile file(path);
    return soak::writeFile(path, kStub) &&
           file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeGroup |
                               QFile::ExeOther | QFile::ReadGroup | QFile::ReadOther);
}

struct StubRecord {
    qint64 pid = 0;
    QStringList strays; // descriptors beyond 0, 1, 2 and ls's own, as "N -> target"
};

std::optional<StubRecord> readRecord(const QString& path)
{
    const QList<QByteArray> lines = soak::readFile(path).split('\n');
    if (lines.size() < 2 || lines[0].toLongLong() <= 0)
        return std::nullopt;
    StubRecord record{lines[0].toLongLong(), {}};
    static const QRegularExpression entry(QStringLiteral(" (\\d+) -> (.*)$"));
    for (const QByteArray& line : lines.mid(1)) {
        const QRegularExpressionMatch match = entry.match(QString::fromLocal8Bit(line));
        if (!match.hasMatch())
            continue;
        const int fd = match.captured(1).toInt();
        const bool lsReadsProc = match.captured(2).startsWith(QStringLiteral("/proc/"));
        if (fd > 2 && !lsReadsProc)
            record.strays << match.captured(1) + QStringLiteral(" -> ") + match.captured(2);
    }
    return record;
}

// What a careless program might hold: descriptors without close-on-exec.
std::vector<int> openLeakyDescriptors(const QString& folder)
{
    std::vector<int> fds{::open("/dev/null", O_RDONLY),
                         ::open(QFile::encodeName(folder + "/held").constData(), O_WRONLY | O_CREAT, 0644)};
    int pipeEnds[2];
    if (::pipe(pipeEnds) == 0)
        fds.insert(fds.end(), {pipeEnds[0], pipeEnds[1]});
    return fds;
}

// Nanoseconds this thread has spent ready to run but waiting for a processor, from the
// scheduler's own account; nothing when the system keeps none.
std::optional<qint64> waitedForProcessor()
{
    const QList<QByteArray> fields = soak::readFile(QStringLiteral("/proc/thread-self/schedstat")).split(' ');
    bool ok = false;
    const qint64 waited = fields.size() > 1 ? fields[1].toLongLong(&ok) : 0;
    return ok ? std::optional(waited) : std::nullopt;
}

// As the NEO R.A.G.E. play window does: its game is FOLDER/records/NAME, so the stub
// writes its record there.
StartRequest neoRageOn(const QString& folder, const QString& name)
{
    return neoRageRequest(GamePath{folder.toStdString(), "records", name.toStdString()}, {}, '/');
}

int runLauncher(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    SystemHost host;
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]) + QStringLiteral("-long");
    std::optional<bool> started;
    host.startProgram(neoRageOn(folder, name), &app,
                      [&](const StartOutcome& outcome) { started = outcome.started; });
    if (!QTest::qWaitFor([&] { return started.has_value(); }, kWaitMs) || !*started)
        return 2;
    const QString record = folder + QStringLiteral("/records/") + name;
    if (!QTest::qWaitFor([&] { return readRecord(record).has_value(); }, kWaitMs))
        return 3;
    std::printf("%lld\n", readRecord(record)->pid);
    std::fflush(stdout);
    if (std::strcmp(argv[4], "quit") == 0)
        return 0;
    for (;;)
        ::pause();
}

} // namespace

class EmulatorChurnTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<support::WorkFolder> m_workDir;

    QString path(const QString& name) const { return m_workDir->filePath(name); }

private slots:
    void initTestCase()
    {
        m_workDir = soak::makeWorkDir();
        QVERIFY(m_workDir->isValid());
        QVERIFY(QDir().mkpath("EMU/records") && QDir().mkpath("records"));
        QVERIFY(writeStub(path("neogeo.exe")));
        QVERIFY(writeStub(path("EMU/neorage.exe")));
    }

    void cleanupTestCase() { m_workDir->leave(); }

    void manyStartsLeaveNoZombieNoDescriptorAndNeverBlock();
    void runningEmulatorsOutliveTheLauncher_data();
    void runningEmulatorsOutliveTheLauncher();
};

void EmulatorChurnTest::manyStartsLeaveNoZombieNoDescriptorAndNeverBlock()
{
    SystemHost host;
    const std::vector<int> leaky = openLeakyDescriptors(m_workDir->path());
    qint64 longestBlock = 0;
    qint64 longestWall = 0;
    int answered = 0;
    int started = 0;
    for (int start = 0; start < kStarts; ++start) {
        // As the two play windows do: "neogeo.exe" bare, neorage.exe on a game in its folder.
        const StartRequest request =
            start % 2 ? neoGeoRequest()
                      : neoRageOn(path("EMU"), QString::number(start) + (start % 3 == 0 ? "-sleep" : ""));
        const std::optional<qint64> waitedBefore = waitedForProcessor();
        QElapsedTimer held;
        held.start();
        host.startProgram(request, this, [&](const StartOutcome& outcome) {
            ++answered;
            started += outcome.started ? 1 : 0;
        });
        const qint64 wall = held.nsecsElapsed();
        const std::optional<qint64> waitedAfter = waitedForProcessor();
        // Time spent waiting for a processor while other programs ran is the machine's load,
        // not the launcher holding its thread up: the block is the work and the sleeping.
        const qint64 block = waitedBefore && waitedAfter ? wall - (*waitedAfter - *waitedBefore) : wall;
        longestBlock = std::max(longestBlock, block);
        longestWall = std::max(longestWall, wall);
        QCoreApplication::processEvents();
    }
    // The leaky descriptors stay open until every child exists.
    QTRY_COMPARE_WITH_TIMEOUT(answered, kStarts, kWaitMs);
    for (const int fd : leaky)
        ::close(fd);
    QCOMPARE(started, kStarts);

    QTRY_VERIFY_WITH_TIMEOUT(soak::childrenOf(::getpid()).isEmpty(), kWaitMs);
    int zombies = 0;
    for (const soak::Process& child : soak::childrenOf(::getpid()))
        zombies += child.state == 'Z' ? 1 : 0;
    QStringList records;
    for (const QString& folder : {path("records"), path("EMU/records")})
        for (const QString& name : QDir(folder).entryList({"*[0-9]", "*-sleep"}, QDir::Files))
            records << folder + u'/' + name;
    QCOMPARE(records.size(), kStarts);
    int leaked = 0;
    for (const QString& record : records) {
        const std::optional<StubRecord> seen = readRecord(record);
        QVERIFY2(seen, qPrintable(record));
        // Gone, or at least no child of ours any more (its pid may already serve another).
        const std::optional<soak::Process> still = soak::processInfo(seen->pid);
        QVERIFY2(!still || still->parent != ::getpid(), qPrintable(record));
        if (!seen->strays.isEmpty())
            qWarning("%s held %s", qPrintable(record), qPrintable(seen->strays.join(", ")));
        leaked += int(seen->strays.size());
    }
    qInfo("soak: emulator churn: %d starts, %d zombies, %d leaked descriptors, longest UI block %.2f ms "
          "(%.2f ms of wall time, waits for a busy processor included)",
          kStarts, zombies, leaked, double(longestBlock) / 1e6, double(longestWall) / 1e6);
    QCOMPARE(zombies, 0);
    QCOMPARE(leaked, 0);
}

void EmulatorChurnTest::runningEmulatorsOutliveTheLauncher_data()
{
    QTest::addColumn<QString>("ending");
    QTest::newRow("the launcher quits") << "quit";
    QTest::newRow("the launcher's process group is hung up and killed") << "killed";
}

void EmulatorChurnTest::runningEmulatorsOutliveTheLauncher()
{
    QFETCH(QString, ending);
    // Orphans come to us rather than to init, so we can see them and reap them.
    QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    QProcess launcher;
    // A process group of its own, as a launcher started from a terminal has.
    launcher.setChildProcessModifier([] { ::setpgid(0, 0); });
    launcher.start(soak::thisProgram(), {"--launcher", path("EMU"), "outlives-" + ending, ending});
    QVERIFY2(launcher.waitForReadyRead(kWaitMs), launcher.readAllStandardError().constData());
    const qint64 emulator = launcher.readLine().trimmed().toLongLong();
    QVERIFY(emulator > 0);
    QVERIFY(soak::isRunning(emulator));

    if (ending == "killed") {
        const pid_t group = static_cast<pid_t>(launcher.processId());
        QCOMPARE(::kill(-group, SIGHUP), 0);
        ::kill(-group, SIGKILL);
    }
    QVERIFY(launcher.waitForFinished(kWaitMs));
    if (ending == "quit")
        QCOMPARE(launcher.exitCode(), 0);
    QTest::qWait(200);
    const bool outlived = soak::isRunning(emulator);
    ::kill(static_cast<pid_t>(emulator), SIGKILL);
    bool reaped = false;
    QTRY_VERIFY_WITH_TIMEOUT(
        reaped = reaped || ::waitpid(static_cast<pid_t>(emulator), nullptr, WNOHANG) == emulator, kWaitMs);
    QVERIFY2(outlived, "the emulator ended with the launcher");
}

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--launcher") == 0)
        return runLauncher(argc, argv);
    QCoreApplication app(argc, argv);
    EmulatorChurnTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_emulatorchurn.moc"
