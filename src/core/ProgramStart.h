// How an emulator program is started on Linux: directly, through Wine or through DOSBox,
// decided from its first bytes; and what a process is made from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
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

// Why a program cannot be started, in a sentence for the user.
struct StartRefusal {
    std::string reason;
};

// What the process is made from: the file executed, its whole argument vector (argv[0] on)
// and the folder it runs in (empty: ours). Windows hands a program one command line, not a
// vector: `commandLine` is that line where the program splits it its own way (DOSBox for
// Windows); empty, the system writes `argv` for the C runtime's split.
struct Command {
    std::string file;
    std::vector<std::string> argv;
    std::string workingDirectory;
    std::string commandLine{};

    friend bool operator==(const Command&, const Command&) = default;
};
