#include "AsciiCase.h"
#include "FileLookup.h"
#include "PosixFiles.h"

#include <algorithm>
#include <dirent.h>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Every entry of `type` (see hasType) in `folder` (empty: the working directory) whose name is
// `name` in any letter case, in byte order, from one read of the folder. `name` must be one
// name, not a path.
std::vector<std::string> spellings(const fs::path& folder, std::string_view name, mode_t type)
{
    std::vector<std::string> names;
    DIR* const listing = name.empty() || name.find('/') != std::string_view::npos
                             ? nullptr
                             : ::opendir(folder.empty() ? "." : folder.c_str());
    if (!listing)
        return names;
    while (const dirent* entry = ::readdir(listing))
        if (equalIgnoringCase(entry->d_name, name) && hasType(folder / entry->d_name, type))
            names.emplace_back(entry->d_name);
    ::closedir(listing);
    std::ranges::sort(names);
    return names;
}

std::optional<fs::path> findIgnoringCase(const fs::path& folder, std::string_view name, mode_t type)
{
    if (name.find('/') == std::string_view::npos && !name.empty() && hasType(folder / name, type))
        return folder / name;
    const std::vector<std::string> names = spellings(folder, name, type);
    return names.empty() ? std::nullopt : std::optional(folder / names.front());
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
    return spellings(folder, name, S_IFREG);
}
