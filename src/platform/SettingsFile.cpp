#include "SettingsFile.h"

#include "FileLookup.h"

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

WriteResult saveOptionsTo(const fs::path& path, OptionsRecord& record)
{
    record.Header = std::string(kSettingsHeader);
    return replaceFileAtomically(path, encodeOptions(record), {isSettingsFile, "a settings file"});
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
    WriteResult result = saveOptionsTo(settingsFilePath(), record);
    std::error_code ignored;
    if (fs::path full = fs::absolute(result.file, ignored); !full.empty())
        result.file = full;
    return result;
}
