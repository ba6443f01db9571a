// Texts and names between the program and Windows: the program's strings are UTF-8, and every
// path and argument reaches the system as UTF-16, never through the ANSI code page, so a name
// in any script arrives as it was chosen.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

std::wstring toWide(std::string_view utf8);
std::string fromWide(std::wstring_view wide);

// A path from UTF-8 (std::filesystem reads a plain string in the C locale on MinGW), and back.
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8Path(const std::filesystem::path& path);

// The system's own words for a Win32 error code ("Access is denied"), without the final
// full stop, which the messages around it supply.
std::string systemReason(unsigned long error);

// The names in `folder` (empty: the working directory) that `keep` accepts, in one read of
// the folder; nothing when it cannot be read.
std::optional<std::vector<std::string>> folderNames(const std::filesystem::path& folder,
                                                    const std::function<bool(std::string_view)>& keep);
