#include "EmulatorPrograms.h"
#include "FileLookup.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The bytes that could be read at `offset`, at most `buffer`'s size of them.
std::span<const std::uint8_t> readAt(int fd, std::span<std::uint8_t> buffer, off_t offset)
{
    ssize_t got;
    do {
        got = ::pread(fd, buffer.data(), buffer.size(), offset);
    } while (got < 0 && errno == EINTR);
    return buffer.first(got > 0 ? static_cast<std::size_t>(got) : 0);
}

bool isDirectory(const fs::path& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string upperAscii(std::string text)
{
    std::ranges::transform(text, text.begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; });
    return text;
}

// A folder path as one plain string: absolute, normalised, no closing "/" but for the root.
std::string plainFolder(const fs::path& folder)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(folder, error);
    std::string text = (error ? folder : absolute).lexically_normal().string();
    while (text.size() > 1 && text.ends_with('/'))
        text.pop_back();
    return text;
}

fs::path winePrefix()
{
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix == '/')
        return prefix;
    const char* home = std::getenv("HOME");
    if (!home || *home != '/') {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return fs::path(home ? home : "/") / ".wine";
}

// Wine names a folder through the drive whose root holds it; the path as written is tried
// first, then with its links resolved, as a drive may point through a link.
std::optional<std::string> windowsFolder(const std::string& folder)
{
    const std::vector<WineDrive> drives = wineDrives();
    if (std::optional<std::string> path = windowsPathFor(plainFolder(folder), drives))
        return path;
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(plainFolder(folder), error);
    return error ? std::nullopt : windowsPathFor(plainFolder(resolved), drives);
}

std::string refusal(const std::string& folder, std::string_view name, std::string_view why)
{
    std::string text("Cannot start ");
    text.append(name).append(" in ").append(plainFolder(folder)).append(": ").append(why).append(".");
    return text;
}

const char* whyNotFound(const std::string& folder, std::string_view name)
{
    if (findFolderIgnoringCase(folder, name))
        return "it is a folder";
    if (isDirectory(folder) && ::access(folder.c_str(), R_OK | X_OK) != 0)
        return "its folder may not be looked into";
    return "there is no such file";
}

PreparedStart throughRunner(ProgramStart start, std::string_view name)
{
    const bool windows = start.kind == ProgramKind::Windows;
    const std::optional<std::string> runner = findOnPath(windows ? "wine" : "dosbox");
    if (!runner)
        return StartRefusal{refusal(start.folder, name,
                                    windows
                                        ? "it is a Windows program, and Windows programs run through Wine, "
                                          "which is not installed (Debian package \"wine\")"
                                        : "it is a DOS program, and DOS programs run through DOSBox, "
                                          "which is not installed (Debian package \"dosbox\")")};
    start.runner = *runner;
    start.separator = '\\';
    if (windows) {
        const std::optional<std::string> folder = windowsFolder(start.folder);
        if (!folder)
            return StartRefusal{
                refusal(start.folder, name, "Wine has no drive for its folder (winecfg can add one)")};
        start.folderAsSeen = *folder;
    } else {
        start.folderAsSeen = "C:";
        start.nameAsSeen = upperAscii(start.nameAsSeen);
        if (!isDosName(start.nameAsSeen))
            return StartRefusal{refusal(start.folder, name, "DOS cannot use its name")};
        // DOSBox starts in the folder to mount it as C:.
        if (::access(start.folder.c_str(), X_OK) != 0)
            return StartRefusal{
                refusal(start.folder, name, "DOSBox cannot mount its folder, which may not be entered")};
    }
    return start;
}

} // namespace

ProgramKind readProgramKind(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        // A program we may run but not read is run as it is.
        return fd < 0 && errno == EACCES && isExecutableFile(path) ? ProgramKind::Native
                                                                   : ProgramKind::NotAProgram;
    }
    std::array<std::uint8_t, kProgramHeadSize> headBuffer{};
    std::array<std::uint8_t, 4> signatureBuffer{};
    const std::span<const std::uint8_t> head = readAt(fd, headBuffer, 0);
    std::span<const std::uint8_t> signature;
    if (const std::optional<std::uint32_t> offset = newHeaderOffset(head))
        signature = readAt(fd, signatureBuffer, static_cast<off_t>(*offset));
    ::close(fd);
    return programKind(head, signature, isExecutableFile(path));
}

std::optional<std::string> findOnPath(std::string_view name)
{
    const char* env = std::getenv("PATH");
    const std::string_view path = env ? env : "/bin:/usr/bin";
    std::size_t begin = 0;
    while (begin <= path.size()) {
        const std::size_t end = std::min(path.find(':', begin), path.size());
        const std::string_view folder = path.substr(begin, end - begin);
        if (folder.starts_with('/')) {
            std::string candidate(folder);
            candidate.append("/").append(name);
            if (isExecutableFile(candidate))
                return candidate;
        }
        begin = end + 1;
    }
    return std::nullopt;
}

std::vector<WineDrive> wineDrives()
{
    const fs::path devices = winePrefix() / "dosdevices";
    if (!isDirectory(devices))
        return {{'z', "/"}};
    std::vector<WineDrive> drives;
    std::error_code error;
    for (fs::directory_iterator entry(devices, error), end; !error && entry != end; entry.increment(error)) {
        // "c:" names a drive; "c::" is the raw device behind it.
        const std::string name = entry->path().filename().string();
        if (name.size() != 2 || name[1] != ':' || !std::isalpha(static_cast<unsigned char>(name[0])))
            continue;
        std::error_code linkError;
        const fs::path target = fs::read_symlink(entry->path(), linkError);
        if (linkError)
            continue;
        const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
        const fs::path root = target.is_absolute() ? target : devices / target;
        drives.push_back({letter, plainFolder(root)});
        if (const fs::path resolved = fs::weakly_canonical(root, linkError); !linkError)
            drives.push_back({letter, plainFolder(resolved)});
    }
    std::ranges::sort(drives, {}, &WineDrive::letter);
    return drives;
}

PreparedStart prepareProgramStart(const std::string& folder, std::string_view name)
{
    const std::optional<fs::path> found = findFileIgnoringCase(folder, name);
    if (!found)
        return StartRefusal{refusal(folder, name, whyNotFound(folder, name))};
    ProgramStart start;
    start.program = found->string();
    start.folder = folder;
    start.nameAsSeen = found->filename().string();
    start.kind = readProgramKind(start.program);
    switch (start.kind) {
    case ProgramKind::Native:
        // The root's path, without its closing "/", is empty: the composed text adds the separator.
        start.folderAsSeen = folder == "/" ? std::string() : folder;
        return start;
    case ProgramKind::Windows:
    case ProgramKind::Dos:
        return throughRunner(std::move(start), name);
    case ProgramKind::NotAProgram:
        break;
    }
    return StartRefusal{
        refusal(folder, name, "it is neither a Windows or DOS program nor an executable file")};
}
