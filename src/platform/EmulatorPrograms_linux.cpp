#include "EmulatorPrograms.h"
#include "FileLookup.h"
#include "PosixFiles.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Reason = std::string;

// Any other error of open() or stat(), in the system's own words ("Input/output error").
Reason otherwise(int error)
{
    if (error == ENOENT || error == ENOTDIR)
        return "there is no such file";
    if (error == ELOOP)
        return "it is not a regular file";
    return "the system cannot reach it: " + std::generic_category().message(error);
}

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
Reason whyNotFound(const std::string& folder, std::string_view name)
{
    const std::optional<fs::path> entry = findEntryIgnoringCase(folder, name);
    if (!entry)
        return hasType(folder, S_IFDIR) && ::access(folder.c_str(), R_OK | X_OK) != 0
                   ? "its folder may not be looked into"
                   : "there is no such file";
    struct stat info {};
    if (::stat(entry->c_str(), &info) != 0)
        return otherwise(errno);
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
std::variant<ProgramKind, Reason> kindOf(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        // A program we may run but not read is run as it is; the system says if it cannot.
        if (error == EACCES)
            return isExecutableFile(path) ? std::variant<ProgramKind, Reason>(ProgramKind::Native)
                                          : "it cannot be read";
        return otherwise(error);
    }
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const ProgramKind kind = regular ? readProgramKind(fd, path) : ProgramKind::NotAProgram;
    ::close(fd);
    if (!regular)
        return Reason("it is not a regular file");
    return kind;
}

// HOME where absolute; else the password database's home, where absolute; else none.
std::string userHome(const ProgramEnvironment& environment)
{
    if (environment.home.starts_with('/'))
        return environment.home;
    // Starts run side by side: getpwuid's one shared record would not do.
    passwd entry{};
    passwd* user = nullptr;
    std::array<char, 4096> buffer{};
    ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &user);
    return user && user->pw_dir && user->pw_dir[0] == '/' ? user->pw_dir : "";
}

// The prefix Wine would use, and whether it can: WINEPREFIX, else .wine in the home folder.
void findWinePrefix(FoundProgram& found, const ProgramEnvironment& environment)
{
    found.winePrefix = environment.winePrefix.empty() ? found.home + "/.wine" : environment.winePrefix;
    struct stat info {};
    if (environment.winePrefix.empty() && found.home.empty())
        found.winePrefixState = WinePrefixState::NoHome;
    else if (!found.winePrefix.starts_with('/'))
        found.winePrefixState = WinePrefixState::Relative;
    else if (::stat(found.winePrefix.c_str(), &info) != 0)
        // Wine makes a prefix that is not there yet.
        found.winePrefixState = errno == ENOENT ? WinePrefixState::Usable : WinePrefixState::Unreadable;
    else if (!S_ISDIR(info.st_mode))
        found.winePrefixState = WinePrefixState::NotAFolder;
    else if (::access(found.winePrefix.c_str(), R_OK | X_OK) != 0)
        found.winePrefixState = WinePrefixState::Unreadable;
}

void findRunner(FoundProgram& found, const ProgramEnvironment& environment)
{
    const bool windows = found.kind == ProgramKind::Windows;
    found.runner = findOnPath(windows ? "wine" : "dosbox", environment.path).value_or(std::string());
    found.home = userHome(environment);
    if (windows) {
        findWinePrefix(found, environment);
        if (found.winePrefixState == WinePrefixState::Usable)
            found.wineDrives = wineDrivesHolding(found.folder, found.winePrefix);
    } else {
        found.spellings = fileSpellings(found.folder, found.name);
        // DOSBox starts in the folder to mount it as C:.
        found.folderEnterable = ::access(found.folder.c_str(), X_OK) == 0;
    }
}

} // namespace

ProgramEnvironment ProgramEnvironment::current()
{
    ProgramEnvironment environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view variable(*entry);
        environment.variables.append(variable).push_back('\0');
        for (auto [name, value] :
             {std::pair{"PATH=", &environment.path}, std::pair{"WINEPREFIX=", &environment.winePrefix},
              std::pair{"HOME=", &environment.home}})
            if (variable.starts_with(name))
                *value = variable.substr(std::string_view(name).size());
    }
    // Unset or empty, PATH means what the C library searches then, never the working folder.
    if (environment.path.empty()) {
        environment.path.resize(::confstr(_CS_PATH, nullptr, 0));
        ::confstr(_CS_PATH, environment.path.data(), environment.path.size());
        environment.path.resize(std::strlen(environment.path.c_str()));
    }
    return environment;
}

std::vector<std::string> ProgramEnvironment::forProgram(const FoundProgram& found) const
{
    const bool ownHome = found.kind == ProgramKind::Dos || found.kind == ProgramKind::Windows;
    std::vector<std::string> result;
    for (std::size_t at = 0; at < variables.size(); at = variables.find('\0', at) + 1) {
        const std::string_view variable(variables.c_str() + at);
        if (!ownHome || !variable.starts_with("HOME="))
            result.emplace_back(variable);
    }
    if (ownHome && !found.home.empty())
        result.push_back("HOME=" + found.home);
    return result;
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
    const std::variant<ProgramKind, Reason> kind = kindOf(found.program);
    if (const auto* why = std::get_if<Reason>(&kind))
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
