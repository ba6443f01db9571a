// What the soak and fault tests share: the settings file's bytes and their four switches, a
// host that keeps them in the real file, the process's resident memory, its children as /proc
// shows them, and re-running this very test program as a helper process.
#pragma once

#include "FakeHost.h"
#include "Files.h"
#include "SettingsBytes.h"
#include "SettingsFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <unistd.h>

namespace soak {

constexpr int kFileSize = 35;

// `full` scaled by ORVELANE_SOAK_PERCENT (100 when unset, as CI runs it; the quick test preset
// asks for 2), and never below `least`.
inline int soakCount(int full, int least = 1)
{
    bool ok = false;
    const int percent = qEnvironmentVariableIntValue("ORVELANE_SOAK_PERCENT", &ok);
    return std::max(least, int(qint64(full) * (ok ? std::clamp(percent, 0, 100) : 100) / 100));
}

// Four switches as one number, the way the window shows them: bit 0 CheckBox1 (NoScanlines),
// bit 1 CheckBox2 (EnableVsync), bit 2 CheckBox3 (VgaMode), bit 3 CheckBox4 (FrameSkip).
using Switches = int;

// The 35 bytes of a settings file holding `switches` and the two reserved bytes.
inline QByteArray settingsBytes(Switches switches, std::uint8_t reserved1, std::uint8_t reserved2)
{
    const auto bit = [switches](int n) { return (switches >> n) & 1; };
    return support::settingsBytes(reserved1, reserved2, bit(0), bit(1), bit(2), bit(3));
}

// The switches of a complete, well-formed file that carries the given reserved bytes:
// exactly 35 bytes, the header, switch bytes of 0 or 1 and ten equal VgaMode copies.
// Anything else (short, empty, torn between two saves, foreign) gives nothing.
inline std::optional<Switches> switchesOf(const QByteArray& bytes, std::uint8_t reserved1,
                                          std::uint8_t reserved2)
{
    if (bytes.size() != kFileSize || !bytes.startsWith(support::settingsHeader()))
        return std::nullopt;
    if (std::uint8_t(bytes[20]) != reserved1 || std::uint8_t(bytes[21]) != reserved2)
        return std::nullopt;
    for (int offset = 26; offset < kFileSize; ++offset)
        if (bytes[offset] != bytes[24])
            return std::nullopt;
    // File order is NoScanlines, EnableVsync, VgaMode, FrameSkip: the window's order too.
    Switches switches = 0;
    for (int n = 0; n < 4; ++n) {
        const char value = bytes[22 + n];
        if (value != 0 && value != 1)
            return std::nullopt;
        switches |= value << n;
    }
    return switches;
}

// The recording host over the real settings file in the working directory.
class SettingsFileHost : public FakeHost {
public:
    void loadFile(OptionsRecord& record) override { LoadOptions(record); }
    WriteResult saveFile(OptionsRecord& record) override { return SaveOptions(record); }
};

using support::readFile;
using support::writeFile;

// Resident memory of this process, from the second field of /proc/self/statm.
inline qint64 residentBytes()
{
    const QList<QByteArray> fields = readFile(QStringLiteral("/proc/self/statm")).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : -1;
}

struct Process {
    qint64 pid = 0;
    char state = '?'; // R, S, D, Z ...
    qint64 parent = 0;
    qint64 session = 0;
};

// A process as /proc/<pid>/stat shows it. The command name sits in brackets and may hold
// blanks or brackets itself, so the fields are counted from the last ")".
inline std::optional<Process> processInfo(qint64 pid)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    if (fields.size() < 4 || fields[0].isEmpty())
        return std::nullopt;
    return Process{pid, fields[0][0], fields[1].toLongLong(), fields[3].toLongLong()};
}

// Every process whose parent is `parent`, zombies included.
inline QList<Process> childrenOf(qint64 parent)
{
    QList<Process> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        const std::optional<Process> info = processInfo(pid);
        if (info && info->parent == parent)
            children.append(*info);
    }
    return children;
}

// True while `pid` runs (a zombie has ended and does not count).
inline bool isRunning(qint64 pid)
{
    const std::optional<Process> info = processInfo(pid);
    return info && info->state != 'Z' && info->state != 'X';
}

// A fresh working folder, in memory where the system offers one (/dev/shm). The soaks save tens of
// thousands of times, each save synced to disk; on a shared disk the sync times, not the
// program, would decide how long a run takes. Renames are as atomic there as on any disk.
inline std::unique_ptr<support::WorkFolder> makeWorkDir()
{
    const QString memory = QStringLiteral("/dev/shm");
    const QString base =
        QFileInfo(memory).isDir() && QFileInfo(memory).isWritable() ? memory : QDir::tempPath();
    return std::make_unique<support::WorkFolder>(base + QStringLiteral("/orvelane-soak-XXXXXX"));
}

// This test program's own file, to run it again as a helper process.
inline QString thisProgram()
{
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

} // namespace soak
