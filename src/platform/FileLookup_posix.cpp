#include "AsciiCase.h"
#include "FileLookup.h"
#include "PosixFiles.h"

#include <algorithm>
#include <dirent.h>
#include <functional>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The names of the entries in `folder` (empty: the working directory) that `keep` accepts, in
// one read of the folder; nothing when it cannot be read.
std::optional<std::vector<std::string>> namesIn(const fs::path& folder,
                                                const std::function<bool(std::string_view)>& keep)
{
    DIR* const listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!listing)
        return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing))
        if (keep(entry->d_name))
            names.emplace_back(entry->d_name);
    ::closedir(listing);
    return names;
}

bool isPlainName(std::string_view name)
{
    return !name.empty() && name.find('/') == std::string_view::npos;
}

// Among `names`, the spelling of `name` first in byte order that is of `type`.
std::optional<fs::path> firstOfType(const fs::path& folder, std::string_view name,
                                    const std::vector<std::string>& names, mode_t type)
{
    std::optional<std::string> first;
    for (const std::string& leaf : names)
        if (equalIgnoringCase(leaf, name) && (!first || leaf < *first) && hasType(folder / leaf, type))
            first = leaf;
    if (!first)
        return std::nullopt;
    return folder / *first;
}

std::optional<fs::path> findIgnoringCase(const fs::path& folder, std::string_view name, mode_t type)
{
    if (!isPlainName(name))
        return std::nullopt;
    const fs::path exact = folder / name;
    if (hasType(exact, type))
        return exact;
    const std::optional<std::vector<std::string>> names =
        namesIn(folder, [name](std::string_view leaf) { return equalIgnoringCase(leaf, name); });
    return names ? firstOfType(folder, name, *names, type) : std::nullopt;
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
    if (!isPlainName(name))
        return {};
    std::vector<std::string> names = namesIn(folder, [name](std::string_view leaf) {
                                         return equalIgnoringCase(leaf, name);
                                     }).value_or(std::vector<std::string>());
    std::erase_if(names, [&folder](const std::string& leaf) { return !hasType(folder / leaf, S_IFREG); });
    std::ranges::sort(names);
    return names;
}
