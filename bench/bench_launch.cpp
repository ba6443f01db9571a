// Starts a stub emulator 50 times from the event loop's thread, as the play windows do, and
// prints how long each start held that thread (finding the program, reading its first bytes,
// the Wine drives, queuing the start); then waits for the children to end and reports any
// that were left unreaped. Three rounds: a program of this machine, a Windows program and a
// DOS program; for the last two, stand-ins for wine and dosbox that end at once are put first
// on PATH, as what is measured is our own thread, not Wine or DOSBox. Speed never fails the
// run; a zombie does.
#include "Programs.h"
#include "SystemHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kLaunches = 50;
constexpr int kSpacingMs = 5;
constexpr int kReapTimeoutMs = 30000;

struct ChildCount {
    int running = 0;
    int zombies = 0;
};

// Our children as the kernel sees them: every process whose parent is us.
ChildCount countOurChildren()
{
    ChildCount count;
    const QString self = QString::number(::getpid());
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || fields[1] != self.toLatin1())
            continue;
        if (fields[0] == "Z")
            ++count.zombies;
        else
            ++count.running;
    }
    return count;
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Three emulator folders, stand-in runners on PATH and a Wine prefix with the usual drives.
bool prepare(const QDir& work)
{
    const QByteArray quick("#!/bin/sh\n/bin/sleep 0.2\n");
    return work.mkpath("native") && work.mkpath("windows") && work.mkpath("dos") && work.mkpath("bin") &&
           work.mkpath("prefix/dosdevices") && work.mkpath("prefix/drive_c") &&
           QFile::link("../drive_c", work.filePath("prefix/dosdevices/c:")) &&
           QFile::link("/", work.filePath("prefix/dosdevices/z:")) &&
           writeFile(work.filePath("native/neorage.exe"), quick) &&
           writeFile(work.filePath("windows/NEORAGE.EXE"), support::windowsProgram()) &&
           writeFile(work.filePath("dos/NEORAGE.EXE"), QByteArray("MZ\x90\0\3", 5)) &&
           writeFile(work.filePath("bin/wine"), quick) && writeFile(work.filePath("bin/dosbox"), quick);
}

double millis(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

// The machine's load: the child must get a processor before it can take over from us, so
// a busy machine lengthens every start.
QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("unknown");
}

void report(const char* round, std::vector<qint64> times, int started, ChildCount left, int unreaped)
{
    const auto slow = std::count_if(times.begin(), times.end(), [](qint64 t) { return t > 1000000; });
    std::sort(times.begin(), times.end());
    const qint64 median = times.size() % 2 ? times[times.size() / 2]
                                           : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    const double mean = millis(std::accumulate(times.begin(), times.end(), qint64{0})) / double(times.size());
    std::printf("bench_launch, %s: %d of %d starts succeeded\n", round, started, kLaunches);
    std::printf("  UI thread time per start: median %.3f ms, mean %.3f ms, max %.3f ms (target <= 1 ms)\n",
                millis(median), mean, millis(times.back()));
    std::printf("  %ld of %zu starts over 1 ms; load average %s\n", long(slow), times.size(),
                loadAverage().constData());
    std::printf("  after the children ended: %d unreaped by the starter, %d zombie(s), %d still running\n",
                unreaped, left.zombies, left.running);
}

} // namespace

// One round of starts of the emulator in `folder`; true when no child was left behind.
bool runRound(QCoreApplication& app, const char* round, const std::string& folder)
{
    SystemHost host;
    std::vector<qint64> times;
    int started = 0;
    QElapsedTimer sinceLastStart;
    QTimer launcher;
    launcher.setInterval(kSpacingMs);
    QObject::connect(&launcher, &QTimer::timeout, [&] {
        QElapsedTimer clock;
        clock.start();
        const PreparedStart prepared = host.prepareStart(folder, "neorage.exe");
        const auto* start = std::get_if<ProgramStart>(&prepared);
        started += start && host.startProgram(*start, {"C:\\MSLUG", "MSLUG.038", "-n", "-v"}) ? 1 : 0;
        times.push_back(clock.nsecsElapsed());
        if (int(times.size()) == kLaunches) {
            launcher.stop();
            sinceLastStart.start();
        }
    });

    QTimer watcher;
    watcher.setInterval(20);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        const bool allStarted = int(times.size()) == kLaunches;
        if (allStarted && (host.unreapedChildren() == 0 || sinceLastStart.elapsed() > kReapTimeoutMs))
            app.quit();
    });
    launcher.start();
    watcher.start();
    app.exec();

    const ChildCount left = countOurChildren();
    report(round, times, started, left, host.unreapedChildren());
    return left.zombies == 0 && host.unreapedChildren() == 0;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/orvelane bench XXXXXX"));
    if (!work.isValid() || !prepare(QDir(work.path())) || !QDir::setCurrent(work.path())) {
        std::fprintf(stderr, "bench_launch: cannot prepare the stub emulators\n");
        return 2;
    }
    qputenv("PATH", QFile::encodeName(work.filePath("bin")) + ":" + qgetenv("PATH"));
    qputenv("WINEPREFIX", QFile::encodeName(work.filePath("prefix")));
    bool clean = runRound(app, "a program of this machine", "native");
    clean = runRound(app, "a Windows program through wine", "windows") && clean;
    clean = runRound(app, "a DOS program through dosbox", "dos") && clean;
    return clean ? 0 : 1;
}
