// Start-up and idle figures for the real program on a virtual display, each beside a
// minimal Qt window program measured in the same run:
//   time from exec to the main window's first paint (median over the runs),
//   peak resident memory (VmHWM),
//   the idle cost of the running program: CPU share and wake-ups a second.
//
// usage: scripts/virtual-display.sh bench_startup ORVELANE REFERENCE COMPANION_DIR [runs] [idle_seconds]
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Figures {
    double firstPaintMs = -1;
    long peakKiB = 0;
};

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envStrings(extraEnv);
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("DISPLAY=", 0) != 0)
            envStrings.emplace_back(*e);
    std::vector<char*> env;
    for (auto& e : envStrings)
        env.push_back(e.data());
    env.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), env.data()) != 0)
        return -1;
    return pid;
}

long statusField(pid_t pid, const std::string& field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    return 0;
}

struct WakeUps {
    long all = 0;
    long mainThread = 0; // the thread that runs the event loop and the clock
};

// Wake-ups of the process's threads: their voluntary context switches. A thread's status
// is readable as /proc/<thread id>/status too.
WakeUps wakeUps(pid_t pid)
{
    WakeUps counted;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        const pid_t thread = std::stoi(task.path().filename());
        const long switches = statusField(thread, "voluntary_ctxt_switches");
        counted.all += switches;
        if (thread == pid)
            counted.mainThread = switches;
    }
    return counted;
}

double cpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i)
        fields >> skip;
    long user = 0, system = 0;
    fields >> user >> system;
    return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

// Waits for the first paint of a new top-level window at least 200 pixels wide.
double waitFirstPaint(Display* display, Clock::time_point start, int damageEvent)
{
    const auto deadline = start + std::chrono::seconds(15);
    while (Clock::now() < deadline) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify && event.xcreatewindow.width >= 200)
                XDamageCreate(display, event.xcreatewindow.window, XDamageReportNonEmpty);
            if (event.type == damageEvent + XDamageNotify)
                return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return -1;
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

Figures measureOnce(Display* display, int damageEvent, const std::vector<std::string>& command,
                    const std::string& display_name, const fs::path& workDir)
{
    fs::current_path(workDir);
    Figures figures;
    const auto start = Clock::now();
    const pid_t pid = spawn(command, {"DISPLAY=" + display_name, "QT_QPA_PLATFORM=xcb"});
    if (pid < 0)
        return figures;
    figures.firstPaintMs = waitFirstPaint(display, start, damageEvent);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    figures.peakKiB = statusField(pid, "VmHWM");
    stop(pid);
    XSync(display, True);
    return figures;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void idleCost(const char* name, const std::string& program, const std::string& displayName,
              const fs::path& workDir, int seconds)
{
    fs::current_path(workDir);
    const pid_t pid = spawn({program}, {"DISPLAY=" + displayName, "QT_QPA_PLATFORM=xcb"});
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const double cpu0 = cpuSeconds(pid);
    const WakeUps wake0 = wakeUps(pid);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu1 = cpuSeconds(pid);
    const WakeUps wake1 = wakeUps(pid);
    stop(pid);
    std::printf(
        "idle over %d s, %s: %.3f %% of a core, wake-ups a second: %.2f of the main thread, %.2f of all "
        "threads\n",
        seconds, name, 100.0 * (cpu1 - cpu0) / seconds, double(wake1.mainThread - wake0.mainThread) / seconds,
        double(wake1.all - wake0.all) / seconds);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ORVELANE REFERENCE COMPANION_DIR [runs] [idle_seconds]\n", argv[0]);
        return 2;
    }
    const std::string orvelane = fs::absolute(argv[1]), reference = fs::absolute(argv[2]);
    const int runs = argc > 4 ? std::atoi(argv[4]) : 15;
    const int idleSeconds = argc > 5 ? std::atoi(argv[5]) : 20;

    // A display of its own, so nothing else draws there: scripts/virtual-display.sh gives one.
    const char* displayVariable = std::getenv("DISPLAY");
    const std::string displayName = displayVariable ? displayVariable : "";
    Display* display = displayName.empty() ? nullptr : XOpenDisplay(displayName.c_str());
    if (!display) {
        std::fprintf(stderr, "No display \"%s\": run this through scripts/virtual-display.sh\n",
                     displayName.c_str());
        return 1;
    }

    const fs::path workDir = fs::temp_directory_path() / ("orvelane-bench-" + std::to_string(getpid()));
    fs::create_directories(workDir);
    for (const char* name : {"ORVELANE.DAT", "ORVELANE.TXT"})
        fs::copy_file(fs::path(argv[3]) / name, workDir / name, fs::copy_options::overwrite_existing);

    int damageEvent = 0, damageError = 0;
    XDamageQueryExtension(display, &damageEvent, &damageError);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);

    std::vector<double> paintOrvelane, paintReference, paintText, peakOrvelane, peakReference;
    for (int run = 0; run < runs; ++run) {
        const Figures ref = measureOnce(display, damageEvent, {reference}, displayName, workDir);
        const Figures text = measureOnce(display, damageEvent, {reference, "text"}, displayName, workDir);
        const Figures own = measureOnce(display, damageEvent, {orvelane}, displayName, workDir);
        paintReference.push_back(ref.firstPaintMs);
        paintText.push_back(text.firstPaintMs);
        paintOrvelane.push_back(own.firstPaintMs);
        peakReference.push_back(double(ref.peakKiB));
        peakOrvelane.push_back(double(own.peakKiB));
    }
    const double own = median(paintOrvelane), ref = median(paintReference), text = median(paintText);
    std::printf(
        "first paint, median of %d: orvelane %.1f ms, reference %.1f ms, ratio %.2f (target <= 1.25)\n", runs,
        own, ref, ref > 0 ? own / ref : 0.0);
    std::printf("  the reference with a line of text: %.1f ms; orvelane against it: ratio %.2f\n", text,
                text > 0 ? own / text : 0.0);
    std::printf("peak memory, median: orvelane %.1f MiB, reference %.1f MiB (target <= 40 MiB)\n",
                median(peakOrvelane) / 1024, median(peakReference) / 1024);
    idleCost("orvelane", orvelane, displayName, workDir, idleSeconds);
    idleCost("reference", reference, displayName, workDir, idleSeconds);

    XCloseDisplay(display);
    fs::current_path("/");
    fs::remove_all(workDir);
    return 0;
}
