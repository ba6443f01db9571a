// Finding an emulator program on this machine and what its start needs to know of it: its
// kind, from its first bytes; for a Windows program, Wine and the Wine drives that hold its
// folder; for a DOS program, DOSBox and the other spellings of its name.
#pragma once

#include "ForeignNames.h"
#include "StartComposition.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The environment, read once when the start is asked for: the threads that prepare starts
// never read it while the program might be changing it.
struct ProgramEnvironment {
    std::string variables;  // every NAME=value entry, each ended by a NUL: one copy per press
    std::string path;       // PATH; the C library's own search path where unset or empty
    std::string winePrefix; // WINEPREFIX; empty when unset
    std::string home;       // HOME; empty when unset

    static ProgramEnvironment current();

    // What the process of `found` runs with: ours, but DOSBox and Wine get HOME as found.home,
    // and none at all where that is empty, so a relative home never reaches them.
    std::vector<std::string> forProgram(const FoundProgram& found) const;
};

// Looks for `name` in `folder` ("." for the working directory) whatever its letter case,
// reads its first bytes afresh and gathers what its start needs; or says in a sentence why it
// cannot be started: no such file, a folder, not a regular file (a FIFO, a device, a link
// loop), a file that cannot be read, a folder that may not be looked into, or the system's
// own words for any other error. For DOSBox and Wine it finds the user's absolute home: HOME
// where absolute, else the password database's. May wait as long
// as the file system does: never call it on the UI thread.
std::variant<FoundProgram, StartRefusal> findProgram(const std::string& folder, std::string_view name,
                                                     const ProgramEnvironment& environment);

// `name` in the first absolute entry of the PATH value `path` that holds it as an executable
// file. Empty and relative entries would mean the working directory, which holds the user's
// files: never.
std::optional<std::string> findOnPath(std::string_view name, std::string_view path);

// The drives of the Wine prefix `prefix` whose roots hold the absolute folder `folder`, as
// Wine reads them: each lower-case "x:" entry of its dosdevices folder, followed as the
// kernel follows links, is compared by device and inode with `folder` and each folder above
// it; the closest one that is some drive's root gives every drive rooted there, named as in
// `folder`. With no prefix yet, Z: is "/", as Wine makes it.
std::vector<WineDrive> wineDrivesHolding(const std::string& folder, const std::filesystem::path& prefix);
