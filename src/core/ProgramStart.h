// How an emulator program is started on Linux: directly, through Wine or through DOSBox,
// decided from its first bytes; and the command that starts it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

enum class ProgramKind {
    Native,      // an executable of this machine (ELF, a script): run directly
    Windows,     // "MZ" with a "PE\0\0" or "NE" header: run through Wine
    Dos,         // any other "MZ" file (plain DOS, "LE" and "LX" extenders): run through DOSBox
    NotAProgram, // anything else: nothing is started
};

// How many of a file's first bytes the kind rule looks at.
inline constexpr std::size_t kProgramHeadSize = 64;

// Where an "MZ" file says its newer header stands: the 32-bit little-endian number at
// byte 0x3C of `head` (the file's first bytes). Nothing when `head` is not "MZ" or too short.
std::optional<std::uint32_t> newHeaderOffset(std::span<const std::uint8_t> head);

// The kind of a file from its first bytes, the bytes found at its newer header's offset
// (empty when there are none, as past the end of the file) and whether it is a regular file
// with a run bit. An "MZ" file never runs directly, with or without a run bit.
ProgramKind programKind(std::span<const std::uint8_t> head, std::span<const std::uint8_t> atHeaderOffset,
                        bool runnable);

// An emulator program found on this machine, and how it sees its own folder.
struct ProgramStart {
    ProgramKind kind = ProgramKind::NotAProgram;
    std::string program;      // the file on this machine
    std::string folder;       // the folder holding it, on this machine
    std::string folderAsSeen; // the folder as the program names it: the same, a Wine drive path, or "C:"
    std::string nameAsSeen;   // the program's own name as it is run: as found, or in DOS capitals
    char separator = '/';     // '/' for a program of this machine, '\' for Windows and DOS
    std::string runner;       // the absolute path of wine or dosbox; empty for a program of this machine
};

// Why a program cannot be started, in a sentence for the user.
struct StartRefusal {
    std::string reason;
};

using PreparedStart = std::variant<ProgramStart, StartRefusal>;

// What the process is made from: the file executed, its whole argument vector (argv[0] on)
// and the folder it runs in (empty: ours).
struct Command {
    std::string file;
    std::vector<std::string> argv;
    std::string workingDirectory;

    friend bool operator==(const Command&, const Command&) = default;
};

// The command that starts `start` with `arguments`. A program of this machine gets them
// verbatim; Wine gets the program's Windows path and then the arguments; DOSBox mounts the
// program's folder (its working directory) as C:, runs the program with the arguments as
// its command line, and closes when the program ends. Nothing when an argument could act as
// more than text in DOSBox's command interpreter (see isDosCommandText).
std::optional<Command> commandFor(const ProgramStart& start, const std::vector<std::string>& arguments);
