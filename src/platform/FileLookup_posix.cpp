#include "FileLookup.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names are single-byte texts: only the 26 Latin letters have a case.
bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// A type of 0 takes an entry of any kind, as it stands, without following a link.
bool hasType(const fs::path& path, mode_t type)
{
    struct stat info {};
    if (type == 0)
        return ::lstat(path.c_str(), &info) == 0;
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == type;
}

bool entryHasType(DIR* listing, const char* name, mode_t type)
{
    struct stat info {};
    if (type == 0)
        return ::fstatat(::dirfd(listing), name, &info, AT_SYMLINK_NOFOLLOW) == 0;
    return ::fstatat(::dirfd(listing), name, &info, 0) == 0 && (info.st_mode & S_IFMT) == type;
}

// The names in `folder` that are `name` in any letter case and of that type, in byte order.
std::vector<std::string> spellingsOf(const fs::path& folder, std::string_view name, mode_t type)
{
    std::vector<std::string> names;
    DIR* const listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!listing)
        return names;
    while (const dirent* entry = ::readdir(listing))
        if (equalIgnoringCase(entry->d_name, name) && entryHasType(listing, entry->d_name, type))
            names.emplace_back(entry->d_name);
    ::closedir(listing);
    std::ranges::sort(names);
    return names;
}

std::optional<fs::path> findIgnoringCase(const fs::path& folder, std::string_view name, mode_t type)
{
    if (name.empty() || name.find('/') != std::string_view::npos)
        return std::nullopt;
    const fs::path exact = folder / name;
    if (hasType(exact, type))
        return exact;
    const std::vector<std::string> names = spellingsOf(folder, name, type);
    if (names.empty())
        return std::nullopt;
    return folder / names.front();
}

} // namespace

bool isExecutableFile(const std::string& path)
{
    return hasType(path, S_IFREG) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<fs::path> findFileIgnoringCase(const fs::path& folder, std::string_view name)
{
    return findIgnoringCase(folder, name, S_IFREG);
}

std::optional<fs::path> findEntryIgnoringCase(const fs::path& folder, std::string_view name)
{
    return findIgnoringCase(folder, name, 0);
}

std::vector<std::string> fileSpellings(const fs::path& folder, std::string_view name)
{
    if (name.empty() || name.find('/') != std::string_view::npos)
        return {};
    return spellingsOf(folder, name, S_IFREG);
}
