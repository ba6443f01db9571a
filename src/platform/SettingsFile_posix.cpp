#include "FileLookup.h"
#include "SettingsFile.h"

#include <system_error>

namespace fs = std::filesystem;

bool loadOptionsFrom(const fs::path& path, OptionsRecord& record)
{
    SettingsBytes bytes{};
    const std::optional<std::size_t> count = readFileStart(path, bytes);
    if (!count)
        return false;
    decodeOptions(std::span<const std::uint8_t>(bytes.data(), *count), record);
    return true;
}

WriteResult saveOptionsTo(const fs::path& path, OptionsRecord& record,
                          const std::vector<std::string>* namesInFolder)
{
    record.Header = std::string(kSettingsHeader);
    return replaceFileAtomically(path, encodeOptions(record), namesInFolder);
}

fs::path settingsFilePath()
{
    // An existing file of this name in any letter case is the settings file ("orvelane.dat"
    // copied from an old disc is read and rewritten under its own name); only when there is
    // none is "ORVELANE.DAT" made.
    return findFileIgnoringCase(fs::path(), kSettingsFileName).value_or(fs::path(kSettingsFileName));
}

void LoadOptions(OptionsRecord& record)
{
    static_cast<void>(loadOptionsFrom(settingsFilePath(), record));
}

WriteResult SaveOptions(OptionsRecord& record)
{
    // One read of the folder, which may hold thousands of games, serves both the case-blind
    // lookup and the sweep of temporaries that killed saves left: whatever holds the file's
    // name in any case.
    const std::vector<std::string> names = namesIn(fs::path(), [](std::string_view leaf) {
                                               return containsIgnoringCase(leaf, kSettingsFileName);
                                           }).value_or(std::vector<std::string>());
    const fs::path path =
        findFileIgnoringCase(fs::path(), kSettingsFileName, names).value_or(fs::path(kSettingsFileName));
    WriteResult result = saveOptionsTo(path, record, &names);
    std::error_code ignored;
    if (fs::path full = fs::absolute(result.file, ignored); !full.empty())
        result.file = full;
    return result;
}
