#include "FileLookup.h"

#include <algorithm>
#include <dirent.h>
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

bool hasType(const fs::path& path, mode_t type)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == type;
}

std::optional<fs::path> findIgnoringCase(const fs::path& folder, std::string_view name, mode_t type)
{
    if (name.empty() || name.find('/') != std::string_view::npos)
        return std::nullopt;
    const fs::path exact = folder / name;
    if (hasType(exact, type))
        return exact;

    DIR* const listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!listing)
        return std::nullopt;
    std::optional<std::string> first;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view leaf = entry->d_name;
        if (!equalIgnoringCase(leaf, name) || (first && leaf >= *first))
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(listing), entry->d_name, &info, 0) == 0 && (info.st_mode & S_IFMT) == type)
            first = std::string(leaf);
    }
    ::closedir(listing);
    if (!first)
        return std::nullopt;
    return folder / *first;
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

std::optional<fs::path> findFolderIgnoringCase(const fs::path& folder, std::string_view name)
{
    return findIgnoringCase(folder, name, S_IFDIR);
}
