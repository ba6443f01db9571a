// Saves the settings file 50 times, as clicks in the configuration window do, in a folder of
// 100,000 other entries, and prints how long each save held the caller's thread. Two rounds:
// the file named "ORVELANE.DAT" exactly and named "orvelane.dat" (found case-blind). A third
// round clicks the configuration window's boxes and prints how long each click held the UI
// thread, the save itself running on the options store's thread. The folder lies beside the
// system's temporary files by default; give another parent folder as the first argument (a
// tmpfs, say, to leave the disk's flushes out of the figure).
#include "SettingsFile.h"
#include "SystemHost.h"
#include "Unit5.h"

#include <QApplication>
#include <QCheckBox>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kEntries = 100000;
constexpr int kSaves = 50;

bool fillFolder(const fs::path& folder)
{
    for (int entry = 0; entry < kEntries; ++entry) {
        const std::string name = folder / ("game" + std::to_string(entry) + ".rom");
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        ::close(fd);
    }
    return true;
}

void printFigures(const char* what, std::vector<double> milliseconds)
{
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("bench: %s, %d entries: median %.4f ms, fastest %.4f ms, slowest %.4f ms\n", what, kEntries,
                milliseconds[milliseconds.size() / 2], milliseconds.front(), milliseconds.back());
}

// The UI thread's share of a click: the handler stores the switch and queues the save.
void measureClicks()
{
    SystemHost host;
    TForm5 window(host);
    host.options().waitUntilDone(std::chrono::seconds(10));
    QCoreApplication::sendPostedEvents();
    auto* box = window.findChild<QCheckBox*>(QStringLiteral("CheckBox2"));
    std::vector<double> milliseconds;
    for (int click = 0; click < kSaves; ++click) {
        const auto start = std::chrono::steady_clock::now();
        box->click();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        milliseconds.push_back(took.count());
        host.options().waitUntilDone(std::chrono::seconds(10));
    }
    printFigures("UI thread per click in the configuration window (target: < 0.1 ms)", milliseconds);
}

void measure(const char* round)
{
    OptionsRecord record;
    std::vector<double> milliseconds;
    for (int save = 0; save < kSaves; ++save) {
        record.NoScanlines = static_cast<std::uint8_t>(save % 2);
        const auto start = std::chrono::steady_clock::now();
        static_cast<void>(SaveOptions(record));
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        milliseconds.push_back(took.count());
    }
    printFigures((std::string("settings save on the store's thread, ") + round).c_str(), milliseconds);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const fs::path parent = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    std::string pattern = (parent / "orvelane-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path folder = pattern;
    const bool ready = fillFolder(folder) && ::chdir(folder.c_str()) == 0;
    if (ready) {
        OptionsRecord record;
        static_cast<void>(SaveOptions(record));
        measure("named exactly");
        fs::rename("ORVELANE.DAT", "orvelane.dat");
        measure("named in other letters");
        measureClicks();
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    if (!ready)
        std::fprintf(stderr, "could not make %d entries in %s\n", kEntries, folder.c_str());
    return ready ? 0 : 1;
}
