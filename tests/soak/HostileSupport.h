// What the hostile-input table needs: paths handled as raw bytes (a name need not be valid
// UTF-8, so it must never pass through QString), stand-in emulators that record their
// arguments, a host whose open-file dialog answers from a script while everything else is
// the real system, and what the settings file's bytes should come to in the windows.
#pragma once

#include "SoakSupport.h"
#include "SystemHost.h"
#include "Widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QByteArray>
#include <QByteArrayList>
#include <QCheckBox>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace hostile {

// The real system, but the open-file dialog returns whatever the test chose.
class ScriptedHost : public SystemHost {
public:
    std::optional<std::string> answer;

    std::optional<std::string> chooseOpenFile(QWidget*, const OpenFileRequest&) override { return answer; }
};

inline bool writeBytes(const QByteArray& path, const QByteArray& bytes, mode_t mode = 0644)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written && ::chmod(path.constData(), mode) == 0;
}

// Makes every folder of `path` that is missing, byte for byte.
inline bool makePath(const QByteArray& path)
{
    for (qsizetype slash = path.indexOf('/', 1); slash != -1; slash = path.indexOf('/', slash + 1))
        if (::mkdir(path.left(slash).constData(), 0755) != 0 && errno != EEXIST)
            return false;
    return ::mkdir(path.constData(), 0755) == 0 || errno == EEXIST;
}

inline QByteArray shellQuoted(QByteArray text)
{
    return '\'' + text.replace('\'', "'\\''") + '\'';
}

// A stand-in emulator that writes its arguments, each ended by a NUL byte, to `record`.
inline QByteArray recorderScript(const QByteArray& record)
{
    return "#!/bin/sh\nprintf '%s\\0' \"$@\" > " + shellQuoted(record + ".tmp") + " && /bin/mv " +
           shellQuoted(record + ".tmp") + ' ' + shellQuoted(record) + '\n';
}

// A script that leaves `marker` behind if it ever runs.
inline QByteArray markerScript(const QByteArray& marker)
{
    return "#!/bin/sh\n: > " + shellQuoted(marker) + '\n';
}

inline std::optional<QByteArrayList> recordedArguments(const QByteArray& record)
{
    QFile file(QFile::decodeName(record));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArrayList arguments = file.readAll().split('\0');
    arguments.removeLast();
    return arguments;
}

// Any file of that name anywhere under `folder`.
inline bool anyFileNamed(const QString& folder, const QString& name)
{
    QDirIterator files(folder, {name}, QDir::AllEntries | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
    return files.hasNext();
}

enum class Kind { SettingsBytes, SettingsNode, GamePath, RefusedPath, BrokenNeoRage, BrokenNeoGeo };

// Reserved1, Reserved2, NoScanlines, EnableVsync, VgaMode, FrameSkip: the file's order.
using Fields = std::array<std::uint8_t, 6>;

// What both windows hold before each row: NoScanlines and VgaMode on, so a row that loads
// nothing is told apart from one that loads zeros.
constexpr Fields kBaseline = {0x11, 0x22, 1, 0, 1, 0};
inline const QByteArray
    kRefusal("Choose a game inside its own folder within the emulator's folder: EMULATOR/GAME/GAME.ROM.");
constexpr quint32 kSeed = 35;

inline QByteArray encode(const Fields& fields)
{
    return support::settingsBytes(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]);
}

// The fields after loading `bytes` over `earlier`: a field past the end of the file keeps
// its value, and VgaMode is the last of its ten copies the file holds.
inline Fields loadedOver(Fields fields, const QByteArray& bytes)
{
    for (int offset = 20; offset < 26 && offset < bytes.size(); ++offset)
        fields[offset - 20] = std::uint8_t(bytes[offset]);
    for (int offset = 26; offset < 35 && offset < bytes.size(); ++offset)
        fields[4] = std::uint8_t(bytes[offset]);
    return fields;
}

// The four boxes as "0101", CheckBox1 first, as the fields would set them.
inline QByteArray boxesFor(const Fields& fields)
{
    QByteArray boxes;
    for (const int field : {2, 3, 4, 5})
        boxes += fields[field] == 1 ? '1' : '0';
    return boxes;
}

inline QByteArrayList switchesFor(const Fields& fields)
{
    QByteArrayList switches;
    const std::pair<int, const char*> order[] = {{2, "-n"}, {4, "-vga"}, {3, "-v"}, {5, "-f"}};
    for (const auto& [field, text] : order)
        if (fields[field] == 1)
            switches << text;
    return switches;
}

inline QByteArrayList toList(const std::vector<std::string>& arguments)
{
    QByteArrayList list;
    for (const std::string& argument : arguments)
        list << QByteArray::fromStdString(argument);
    return list;
}

// Bytes a foreign program might leave: mostly switch-like values, now and then anything.
inline QByteArray randomContent(QRandomGenerator& random, int length)
{
    static const char likely[] = {0, 1, 2, char(0xff)};
    QByteArray bytes;
    for (int i = 0; i < length; ++i)
        bytes += random.bounded(3) ? likely[random.bounded(4)] : char(random.bounded(256));
    return bytes;
}

// A path of exactly `length` characters under `root` ending in GAME/GAME.ROM, its emulator
// folder nested in names of at most 250 characters.
inline QByteArray longEmulatorFolder(const QByteArray& root, int length)
{
    const int wanted = length - int(root.size()) - int(QByteArray("//GAME/GAME.ROM").size()) + 1;
    QByteArray folder;
    while (folder.size() < wanted) {
        const int room = wanted - int(folder.size()) - (folder.isEmpty() ? 0 : 1);
        folder += (folder.isEmpty() ? "" : "/") + QByteArray(std::min(room, 250), 'x');
    }
    return folder;
}

inline QString boxStates(const QWidget* form)
{
    QString states;
    for (int i = 1; i <= 4; ++i)
        states += form->findChild<QCheckBox*>(QStringLiteral("CheckBox%1").arg(i))->isChecked() ? '1' : '0';
    return states;
}

inline void click(const QWidget* form, const char* name)
{
    QTest::mouseClick(form->findChild<QAbstractButton*>(name), Qt::LeftButton);
}

// Clicks `button` and returns the text of any message box it brought up, closing it, once
// the press has been answered and the button is ready again (and the saves of `host` have run).
inline QString messageFrom(const QWidget* form, const char* button, Host* host = nullptr)
{
    const auto* pressed = form->findChild<QAbstractButton*>(button);
    const auto clickAndSettle = [&] {
        click(form, button);
        if (host)
            support::settle(*host);
    };
    const QString text = support::catchBoxUntil(clickAndSettle, [&] { return pressed->isEnabled(); }).text;
    QCoreApplication::processEvents();
    return text;
}

inline mode_t typeOf(const char* path)
{
    struct stat info {};
    return ::lstat(path, &info) == 0 ? info.st_mode & S_IFMT : 0;
}

// A row that hangs the program ends the run here with its reason rather than at the
// test's timeout.
inline void armHangGuard()
{
    std::signal(SIGALRM, [](int) {
        static const char message[] = "hostile input: a row hung the program\n";
        static_cast<void>(::write(STDERR_FILENO, message, sizeof message - 1));
        ::_exit(3);
    });
    ::alarm(20);
}

// Runs as the unprivileged user while it lives, where we are root: root reads any file, so
// an unreadable one is only unreadable to someone else.
class AsNobody {
public:
    explicit AsNobody(const QByteArray& folder) : m_root(::geteuid() == 0)
    {
        if (m_root &&
            (::chmod(folder.constData(), 0777) != 0 || ::setegid(65534) != 0 || ::seteuid(65534) != 0))
            qFatal("cannot drop privileges");
    }
    ~AsNobody()
    {
        if (m_root && (::seteuid(0) != 0 || ::setegid(0) != 0))
            qFatal("cannot take privileges back");
    }
    AsNobody(const AsNobody&) = delete;
    AsNobody& operator=(const AsNobody&) = delete;

private:
    bool m_root;
};

} // namespace hostile
