// Turning a chosen game path into NEO R.A.G.E.'s program path and parameter text.
#pragma once

#include "OptionsRecord.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A game path cut at its last two separators: emulator directory, game directory, game file.
struct GamePath {
    std::string emulatorDirectory; // may be empty (a game directory in the root), keeps its blanks
    std::string gameDirectory;
    std::string gameFile;

    friend bool operator==(const GamePath&, const GamePath&) = default;
};

// Splits `path` at its last two occurrences of `separator`. A path with fewer than two
// separators holds no game directory inside an emulator directory: std::nullopt.
std::optional<GamePath> splitGamePath(std::string_view path, char separator);

// What one press of "Play the Game" hands over and shows.
struct NeoRageLaunch {
    std::string directoryCaption; // the game directory without blanks (Label3)
    std::string parameters;       // the parameter text, e.g. "C:\EMU\MSLUG MSLUG.038 -n -v "
    std::string programPath;      // emulator directory, separator, "neorage.exe"
};

// Composes the launch from a split path and the switches of a loaded record: the emulator
// directory and separator, the game directory and file name without blanks joined by one
// blank, one blank, then "-n ", "-vga ", "-v ", "-f " for each field that is exactly 1.
NeoRageLaunch composeNeoRageLaunch(const GamePath& path, const OptionsRecord& options, char separator);

// The parameter text as an argument list: split at blanks, a run of blanks separating like
// one; no other character is special.
std::vector<std::string> splitParameters(std::string_view parameters);
