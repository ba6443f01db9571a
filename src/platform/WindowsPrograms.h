// The Windows rules of a start, apart from creating the process so they can be checked alone
// (WindowsPrograms_win.cpp).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The absolute folder `folder` names, with "\" separators and no closing "\" but at a root.
// A bare drive ("C:", the emulator folder of a game in a drive's root) is that drive's root
// "C:\", never the drive's current folder, which is what Windows reads "C:" as.
std::string windowsFolder(const std::string& folder);

// DOSBox for Windows: "DOSBox.exe" on the PATH value `path` (";"-separated, absolute entries
// only), else in the newest "DOSBox-0.74*" folder under any of `programFolders` (Program
// Files and Program Files (x86)), where its installer puts it.
std::optional<std::string> findDosbox(std::string_view path,
                                      const std::vector<std::filesystem::path>& programFolders);

// The command line CreateProcessW gets, quoted so that the C runtime splits it into exactly
// `argv`: words with a blank, a tab or a quote, and empty words, in quotes; a quote inside,
// and the backslashes before a quote, escaped. The program's own name (argv[0]) is read
// without escapes, up to its closing quote: nothing when it holds a quote.
std::optional<std::wstring> windowsCommandLine(const std::vector<std::string>& argv);
