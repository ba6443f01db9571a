#include "EmulatorPrograms.h"
#include "FileLookup.h"
#include "PosixFiles.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The bytes that could be read at `offset`, at most `buffer`'s size of them.
std::span<const std::uint8_t> readAt(int fd, std::span<std::uint8_t> buffer, off_t offset)
{
    const ssize_t got = retryOnInterrupt([&] { return ::pread(fd, buffer.data(), buffer.size(), offset); });
    return buffer.first(got > 0 ? static_cast<std::size_t>(got) : 0);
}

// A folder path as one plain string: absolute, no "." and no closing "/" but for the root.
// A ".." is resolved as the kernel resolves it, behind any link, so that the file checked
// and the file the emulator runs are named alike.
std::string plainFolder(const fs::path& folder)
{
    std::error_code error;
    fs::path absolute = fs::absolute(folder, error);
    if (error)
        absolute = folder;
    if (std::ranges::find(absolute, fs::path("..")) != absolute.end())
        if (fs::path resolved = fs::weakly_canonical(absolute, error); !error)
            absolute = resolved;
    std::string text = absolute.lexically_normal().string();
    while (text.size() > 1 && text.ends_with('/'))
        text.pop_back();
    return text;
}

StartRefusal refusal(const std::string& folder, std::string_view name, std::string_view why)
{
    return StartRefusal{cannotStart(folder, name, why)};
}

// Why no regular file of that name is there, from what is there instead.
const char* whyNotFound(const std::string& folder, std::string_view name)
{
    const std::optional<fs::path> entry = findEntryIgnoringCase(folder, name);
    if (!entry)
        return hasType(folder, S_IFDIR) && ::access(folder.c_str(), R_OK | X_OK) != 0
                   ? "its folder may not be looked into"
                   : "there is no such file";
    struct stat info {};
    if (::stat(entry->c_str(), &info) != 0)
        return errno == ELOOP ? "it is not a regular file" : "there is no such file";
    return S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
}

// The kind of the open regular file `fd` from at most its first 64 bytes and the 4 at its
// newer header's offset.
ProgramKind readProgramKind(int fd, const std::string& path)
{
    std::array<std::uint8_t, kProgramHeadSize> headBuffer{};
    std::array<std::uint8_t, 4> signatureBuffer{};
    const std::span<const std::uint8_t> head = readAt(fd, headBuffer, 0);
    std::span<const std::uint8_t> signature;
    if (const std::optional<std::uint32_t> offset = newHeaderOffset(head))
        signature = readAt(fd, signatureBuffer, static_cast<off_t>(*offset));
    return programKind(head, signature, isExecutableFile(path));
}

// The kind of the file found, or why it cannot be told.
std::variant<ProgramKind, const char*> kindOf(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        // A program we may run but not read is run as it is; the system says if it cannot.
        if (errno == EACCES)
            return isExecutableFile(path) ? std::variant<ProgramKind, const char*>(ProgramKind::Native)
                                          : "it cannot be read";
        return errno == ELOOP ? "it is not a regular file" : "there is no such file";
    }
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const ProgramKind kind = regular ? readProgramKind(fd, path) : ProgramKind::NotAProgram;
    ::close(fd);
    if (!regular)
        return "it is not a regular file";
    return kind;
}

void findRunner(FoundProgram& found, const ProgramEnvironment& environment)
{
    const bool windows = found.kind == ProgramKind::Windows;
    found.runner = findOnPath(windows ? "wine" : "dosbox", environment.path).value_or(std::string());
    if (windows) {
        found.wineDrives = wineDrivesHolding(found.folder, winePrefix(environment));
    } else {
        found.spellings = fileSpellings(found.folder, found.name);
        // DOSBox starts in the folder to mount it as C:.
        found.folderEnterable = ::access(found.folder.c_str(), X_OK) == 0;
    }
}

} // namespace

ProgramEnvironment ProgramEnvironment::current()
{
    const auto value = [](const char* name, const char* otherwise) {
        const char* text = std::getenv(name);
        return std::string(text ? text : otherwise);
    };
    return {value("PATH", "/bin:/usr/bin"), value("WINEPREFIX", ""), value("HOME", "")};
}

std::variant<FoundProgram, StartRefusal> findProgram(const std::string& folder, std::string_view name,
                                                     const ProgramEnvironment& environment)
{
    const std::string where = plainFolder(folder);
    const std::optional<fs::path> file = findFileIgnoringCase(where, name);
    if (!file)
        return refusal(where, name, whyNotFound(where, name));
    FoundProgram found;
    found.program = file->string();
    found.folder = where;
    found.name = file->filename().string();
    const std::variant<ProgramKind, const char*> kind = kindOf(found.program);
    if (const auto* why = std::get_if<const char*>(&kind))
        return refusal(where, name, *why);
    found.kind = std::get<ProgramKind>(kind);
    if (found.kind == ProgramKind::Windows || found.kind == ProgramKind::Dos)
        findRunner(found, environment);
    return found;
}

std::optional<std::string> findOnPath(std::string_view name, std::string_view path)
{
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

fs::path winePrefix(const ProgramEnvironment& environment)
{
    if (environment.winePrefix.starts_with('/'))
        return environment.winePrefix;
    std::string home = environment.home;
    if (!home.starts_with('/')) {
        const passwd* user = ::getpwuid(::getuid());
        home = user && user->pw_dir ? user->pw_dir : "/";
    }
    return fs::path(home) / ".wine";
}

std::vector<WineDrive> wineDrivesHolding(const std::string& folder, const fs::path& prefix)
{
    const fs::path devices = prefix / "dosdevices";
    if (!hasType(devices, S_IFDIR))
        return {{'z', "/"}};
    // Wine reads "a:" to "z:" only: a "U:" is no drive of its. "c::" is the raw device behind "c:".
    std::vector<std::pair<char, struct stat>> roots;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        struct stat info {};
        if (::stat((devices / std::string{letter, ':'}).c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            roots.emplace_back(letter, info);
    }
    for (fs::path at(folder);; at = at.parent_path()) {
        std::vector<WineDrive> holding;
        struct stat info {};
        if (::stat(at.c_str(), &info) == 0)
            for (const auto& [letter, root] : roots)
                if (sameFile(info, root))
                    holding.push_back({letter, at.string()});
        if (!holding.empty() || at == at.parent_path())
            return holding;
    }
}
