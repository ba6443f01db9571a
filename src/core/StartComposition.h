// Composing the start of an emulator from what the platform found of it: the command that
// creates the process and the texts the play window shows, or why it cannot start.
#pragma once

#include "ForeignNames.h"
#include "GameLaunch.h"
#include "OptionsRecord.h"
#include "ProgramStart.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Whether Wine can use the prefix it would be given.
enum class WinePrefixState {
    Usable,     // a folder Wine can read, or none yet (Wine makes it)
    Relative,   // WINEPREFIX is not an absolute path
    NotAFolder, // something else stands there
    Unreadable, // it cannot be read or looked into
    NoHome,     // WINEPREFIX is unset and the user has no home folder to keep one in
};

// The system the program runs on, where DOSBox's words differ: DOSBox for Windows gets the
// null device "NUL" and no console, and reads its command line another way (see composeStart).
enum class HostSystem { Linux, Windows };

// What the platform found of an emulator program on this machine.
struct FoundProgram {
    ProgramKind kind = ProgramKind::NotAProgram;
    std::string program;                // the file, on this machine
    std::string folder;                 // the absolute folder holding it
    std::string name;                   // its name there, in the folder's own letter case
    std::vector<std::string> spellings; // DOS: every file of the folder with its name in any case
    std::string runner;                 // the absolute path of wine or dosbox; empty when not installed
    std::vector<WineDrive> wineDrives;  // Windows: the drives whose roots hold the folder
    bool folderEnterable = true;        // DOS: DOSBox can start in the folder to mount it
    std::string home{};                 // DOS, Windows: the user's absolute home; empty when none
    std::string winePrefix{};           // Windows: the prefix Wine would use
    WinePrefixState winePrefixState = WinePrefixState::Usable;
    HostSystem system = HostSystem::Linux; // DOS: whose DOSBox runs it
};

// What one press of "Play the Game" asks to start.
struct StartRequest {
    std::string folder;           // where the program is looked for ("." is the working directory)
    std::string name;             // "neorage.exe" or "neogeo.exe"
    std::optional<GamePath> game; // the chosen game; nothing for a program started bare
    OptionsRecord options;        // the switches, as loaded for this press
    char separator = '/';         // the separator of the chosen game's path
    // When set, reads the switches into `options` where the start is prepared, off the
    // window's thread (see OptionsStore::launchOptionsReader()).
    std::function<OptionsRecord()> readOptions;
};

// A start that can happen: the process to create and what the window shows once it exists.
struct PlannedStart {
    Command command;
    std::string parameters;       // the composed parameter text; empty for a bare start
    std::string directoryCaption; // the game folder's name without blanks (Label3)
    std::string folder;           // where the program is, and its name, for a failure's message
    std::string name;
};

using ComposedStart = std::variant<PlannedStart, StartRefusal>;

// What a start came to, as the window shows it.
struct StartOutcome {
    bool started = false;         // the process exists
    std::string message;          // otherwise: why, for the error box
    std::string parameters;       // the parameter text handed over
    std::string directoryCaption; // the game folder's name without blanks
};

// The two emulators' program files.
inline constexpr std::string_view kNeoRageProgram = "neorage.exe";
inline constexpr std::string_view kNeoGeoProgram = "neogeo.exe";

// NEO R.A.G.E. in the emulator directory of `game`; a game folder standing in the root
// leaves that directory empty, and the program is then looked for in the root itself.
StartRequest neoRageRequest(const GamePath& game, const OptionsRecord& options, char separator);

// NEOGEO, bare, from the working directory.
StartRequest neoGeoRequest();

// The start of `found` for `request`. A program of this machine gets the composed parameter
// text as its arguments, with the emulator directory as chosen. Wine gets the program's
// Windows path, then the text with the folder's Windows path, where its prefix is usable.
// DOSBox, reading only the user's own configuration (none where the user has no home), mounts the folder (its
// working directory) as C:, runs the program in DOS capitals with the text as its command line, and closes
// when it ends; DOS must be able to use the program's and the game's names and tell the program's apart.
// DOSBox for Windows gets its command line written for its own reader, and nothing starts where
// that reader would hand the DOS program other bytes than composed: the refusal names the character.
ComposedStart composeStart(const FoundProgram& found, const StartRequest& request);

// "Cannot start NAME in FOLDER: WHY."
std::string cannotStart(std::string_view folder, std::string_view name, std::string_view why);
