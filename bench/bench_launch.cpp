// Presses "Play the Game" in the NEO R.A.G.E. play window 50 times, the game chosen by a
// scripted dialog, and prints two figures: how long each press held the UI thread (reading
// the switches, composing the request, handing it over; wall time and the part of it spent on
// a processor), and how long it took from the press until the window learnt that the process
// exists ("Loading ..." shows then). Three rounds:
// a program of this machine, a Windows program and a DOS program; for the last two,
// stand-ins for wine and dosbox that end soon are put first on PATH, as what is measured is
// our own work, not Wine or DOSBox. Speed never fails the run; a zombie or a start that did
// not happen does.
#include "Programs.h"
#include "SystemHost.h"
#include "Unit8.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <numeric>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kPresses = 50;
constexpr int kSpacingMs = 5;
constexpr int kWaitMs = 30000;

// The real system, with the open-file dialog answering the game at once, and a clock read
// when a start is answered.
class BenchHost : public SystemHost {
public:
    std::string game;
    QElapsedTimer clock;
    qint64 answeredAt = 0;
    bool started = false;

    std::optional<std::string> chooseOpenFile(QWidget*, const OpenFileRequest&) override { return game; }

    void startProgram(const StartRequest& request, QObject* context, StartAnswer answered) override
    {
        SystemHost::startProgram(request, context, [this, answered](const StartOutcome& outcome) {
            answeredAt = clock.nsecsElapsed();
            started = outcome.started;
            answered(outcome);
        });
    }
};

// Runs the event loop until `done`, or for `timeoutMs` at most; whether it is done.
bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(1);
    if (!done())
        loop.exec();
    return done();
}

// Nanoseconds this thread has run on a processor: the press's own work, without the time
// other programs of a busy machine held the processor.
qint64 threadCpuTime()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Our children, or only the zombies among them.
int countChildren(bool zombiesOnly)
{
    int zombies = 0;
    const QByteArray self = QByteArray::number(::getpid());
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        zombies += fields.size() > 1 && fields[1] == self && (!zombiesOnly || fields[0] == "Z") ? 1 : 0;
    }
    return zombies;
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Three emulator folders, stand-in runners on PATH, a Wine prefix with the usual drives and
// a settings file with two switches on.
bool prepare(const QDir& work)
{
    const QByteArray quick("#!/bin/sh\n/bin/sleep 0.2\n");
    QByteArray settings(" KELMOR   - DATA -  ", 20);
    settings += QByteArray("\0\0\1\1\0\0", 6) + QByteArray(9, '\0');
    return work.mkpath("native") && work.mkpath("windows") && work.mkpath("dos") && work.mkpath("bin") &&
           work.mkpath("prefix/dosdevices") && work.mkpath("prefix/drive_c") &&
           QFile::link("../drive_c", work.filePath("prefix/dosdevices/c:")) &&
           QFile::link("/", work.filePath("prefix/dosdevices/z:")) &&
           writeFile(work.filePath("native/neorage.exe"), quick) &&
           writeFile(work.filePath("windows/NEORAGE.EXE"), support::windowsProgram()) &&
           writeFile(work.filePath("dos/NEORAGE.EXE"), QByteArray("MZ\x90\0\3", 5)) &&
           writeFile(work.filePath("bin/wine"), quick) && writeFile(work.filePath("bin/dosbox"), quick) &&
           writeFile(work.filePath("ORVELANE.DAT"), settings);
}

struct Figures {
    qint64 median;
    double mean;
    qint64 max;
};

Figures figuresOf(std::vector<qint64> times)
{
    std::sort(times.begin(), times.end());
    const std::size_t half = times.size() / 2;
    const qint64 median = times.size() % 2 ? times[half] : (times[half - 1] + times[half]) / 2;
    const double mean = double(std::accumulate(times.begin(), times.end(), qint64{0})) / double(times.size());
    return {median, mean, times.back()};
}

QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("unknown");
}

// One round of presses; true when every press started its emulator and no child was left.
bool runRound(const char* round, const QString& folder)
{
    BenchHost host;
    host.game = (folder + QStringLiteral("/MSLUG/MSLUG.038")).toStdString();
    TForm8 window(host);
    window.show();
    auto* button = window.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
    std::vector<qint64> held, toProcess, cpu;
    int started = 0;
    for (int press = 0; press < kPresses; ++press) {
        host.answeredAt = 0;
        const qint64 cpuBefore = threadCpuTime();
        host.clock.start();
        window.BitBtn1Click();
        held.push_back(host.clock.nsecsElapsed());
        cpu.push_back(threadCpuTime() - cpuBefore);
        if (!runUntil([&] { return button->isEnabled(); }, kWaitMs))
            break;
        toProcess.push_back(host.answeredAt);
        started += host.started ? 1 : 0;
        runUntil([] { return false; }, kSpacingMs);
    }
    runUntil([] { return countChildren(false) == 0; }, kWaitMs);
    const Figures ui = figuresOf(held), created = figuresOf(toProcess), work = figuresOf(cpu);
    const int zombies = countChildren(true), left = countChildren(false);
    std::printf("bench_launch, %s: %d of %d presses started the emulator\n", round, started, kPresses);
    std::printf(
        "  UI thread per press:        median %.4f ms, mean %.4f ms, max %.4f ms (target: median < 0.1 ms)\n",
        double(ui.median) / 1e6, ui.mean / 1e6, double(ui.max) / 1e6);
    std::printf("    of it on a processor:     median %.4f ms, max %.4f ms\n", double(work.median) / 1e6,
                double(work.max) / 1e6);
    std::printf("  press to process created:   median %.2f ms, mean %.2f ms, max %.2f ms\n",
                double(created.median) / 1e6, created.mean / 1e6, double(created.max) / 1e6);
    std::printf("  load average %s; %d unreaped, %d zombie(s)\n", loadAverage().constData(), left, zombies);
    return started == kPresses && left == 0 && zombies == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/orvelane-bench-XXXXXX"));
    if (!work.isValid() || !prepare(QDir(work.path())) || !QDir::setCurrent(work.path())) {
        std::fprintf(stderr, "bench_launch: cannot prepare the stub emulators\n");
        return 2;
    }
    qputenv("PATH", QFile::encodeName(work.filePath("bin")) + ":" + qgetenv("PATH"));
    qputenv("WINEPREFIX", QFile::encodeName(work.filePath("prefix")));
    bool clean = runRound("a program of this machine", work.filePath("native"));
    clean = runRound("a Windows program through wine", work.filePath("windows")) && clean;
    clean = runRound("a DOS program through dosbox", work.filePath("dos")) && clean;
    return clean ? 0 : 1;
}
