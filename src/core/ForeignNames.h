// Names as the emulators' own systems write them: DOS names and Windows paths under Wine.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The characters a DOS name may hold besides letters and digits. "%" is left out although
// DOS allows it: DOSBox reads its start-up commands as a batch file, where it opens a variable.
inline constexpr std::string_view kDosNameMarks = "!#$&'()-@^_{}~";

// True for a name DOS can use: 1 to 8 characters, optionally a dot and 1 to 3 more, each a
// letter, a digit or one of kDosNameMarks; and no device's name.
bool isDosName(std::string_view name);

// True for a name DOS reads as a device whatever follows its dot, in any letter case: CON,
// NUL, AUX, PRN, COM1 to COM9, LPT1 to LPT9.
bool isDosDeviceName(std::string_view name);

// A drive of a Wine prefix: its letter and the absolute, normalised folder it names, as
// spelt in the path it is to hold (the platform matches a drive to that path's folders).
struct WineDrive {
    char letter;
    std::string root;
};

// The Windows path Wine gives the absolute, normalised `hostPath`: the drive whose root
// holds it most closely, then the rest with "\" for "/"; the root itself is the bare drive
// ("Z:"). Nothing when no drive holds it or a name in it holds a "\".
std::optional<std::string> windowsPathFor(std::string_view hostPath, const std::vector<WineDrive>& drives);
