// Finding an emulator program on this machine and deciding how it is started: directly,
// through Wine or through DOSBox.
#pragma once

#include "ForeignNames.h"
#include "ProgramStart.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Looks for `name` in `folder` ("." for the working directory) whatever its letter case,
// reads its first bytes afresh and says how it is started, or in a sentence why it cannot
// be: no such file, a folder, neither a program of ours to hand on nor executable, Wine or
// DOSBox missing (naming the Debian package), no Wine drive for the folder.
PreparedStart prepareProgramStart(const std::string& folder, std::string_view name);

// The kind of the file at `path` from at most its first 64 bytes and the 4 at its newer
// header's offset; NotAProgram for anything that is not a regular file.
ProgramKind readProgramKind(const std::string& path);

// `name` in the first absolute PATH entry that holds it as an executable file. Empty and
// relative entries would mean the working directory, which holds the user's files: never.
std::optional<std::string> findOnPath(std::string_view name);

// The drives of the user's Wine prefix (WINEPREFIX, else ~/.wine), read from the links in
// its dosdevices folder without starting Wine; with no prefix yet, Z: is "/".
std::vector<WineDrive> wineDrives();
