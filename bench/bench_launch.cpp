// Starts a stub emulator 50 times from the event loop's thread, as the play windows do, and
// prints how long each start held that thread; then waits for the children to end and
// reports any that were left unreaped. Speed never fails the run; a zombie does.
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

bool writeStub(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n/bin/sleep 0.2\n") < 0)
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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

void report(std::vector<qint64> times, int started, ChildCount left, int unreaped)
{
    const auto slow = std::count_if(times.begin(), times.end(), [](qint64 t) { return t > 1000000; });
    std::sort(times.begin(), times.end());
    const qint64 median = times.size() % 2 ? times[times.size() / 2]
                                           : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    const double mean = millis(std::accumulate(times.begin(), times.end(), qint64{0})) / double(times.size());
    std::printf("bench_launch: %d of %d starts succeeded\n", started, kLaunches);
    std::printf(
        "  UI thread time in startProgram: median %.3f ms, mean %.3f ms, max %.3f ms (target <= 1 ms)\n",
        millis(median), mean, millis(times.back()));
    std::printf("  %ld of %zu starts over 1 ms; load average %s\n", long(slow), times.size(),
                loadAverage().constData());
    std::printf("  after the children ended: %d unreaped by the starter, %d zombie(s), %d still running\n",
                unreaped, left.zombies, left.running);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/orvelane bench XXXXXX"));
    if (!work.isValid() || !writeStub(work.filePath(QStringLiteral("neorage.exe"))) ||
        !QDir::setCurrent(work.path())) {
        std::fprintf(stderr, "bench_launch: cannot prepare the stub emulator\n");
        return 2;
    }

    SystemHost host;
    std::vector<qint64> times;
    int started = 0;
    QElapsedTimer sinceLastStart;
    QTimer launcher;
    launcher.setInterval(kSpacingMs);
    QObject::connect(&launcher, &QTimer::timeout, [&] {
        QElapsedTimer clock;
        clock.start();
        started += host.startProgram("neorage.exe", {"C:/EMU/MSLUG", "MSLUG.038", "-n", "-v"}) ? 1 : 0;
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
    report(times, started, left, host.unreapedChildren());
    return left.zombies == 0 && host.unreapedChildren() == 0 ? 0 : 1;
}
