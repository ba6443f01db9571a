// Windows compares names without regard to case itself: "NEORAGE.EXE" opens as
// "neorage.exe", and a folder holds one spelling of a name at most. What is left to do here
// is to tell files from folders and to report each name as the folder spells it.
#include "AsciiCase.h"
#include "FileLookup.h"
#include "WindowsFiles.h"
#include "WindowsText.h"

namespace fs = std::filesystem;

bool isExecutableFile(const std::string& path)
{
    // Windows runs a program by its name's ending; the emulators are .exe files.
    const std::string upper = upperAscii(path);
    return (upper.ends_with(".EXE") || upper.ends_with(".COM")) &&
           regularAttributes(openExisting(pathFromUtf8(path), 0));
}

std::optional<fs::path> findEntryIgnoringCase(const fs::path& folder, std::string_view name)
{
    // One name inside the folder: no separator, and no wildcard, which FindFirstFileExW would
    // expand. The entry is found as the folder spells it, of any kind, without following a link.
    if (name.empty() || name.find_first_of("/\\*?:") != std::string_view::npos || name == "." || name == "..")
        return std::nullopt;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW((folder / pathFromUtf8(name)).c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return std::nullopt;
    ::FindClose(search);
    return folder / found.cFileName;
}

std::optional<fs::path> findFileIgnoringCase(const fs::path& folder, std::string_view name)
{
    const std::optional<fs::path> found = findEntryIgnoringCase(folder, name);
    return found && regularAttributes(openExisting(*found, 0)) ? found : std::nullopt;
}
