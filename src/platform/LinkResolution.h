// Following symbolic links for a write, only where whoever made them could not lead us astray.
// The POSIX half of the atomic replacement: every step is taken from a folder held open, so
// the file judged is the file written, whatever is renamed meanwhile.
#pragma once

#include "PosixFiles.h"

#include <filesystem>
#include <optional>
#include <string>

// Where a write through a path lands.
struct LinkTarget {
    UniqueFd folder;                     // the folder holding the end of the chain, held open
    std::string leaf;                    // the end's name in that folder
    std::optional<struct stat> existing; // the end as it stood, not followed; nothing when missing
    std::filesystem::path shown;         // the end as a path, for messages
    bool outside = false; // reached through a link, and not in the folder of the path written nor below it
    std::string refusal;  // why the chain must not be followed for a write, in words; empty when it may
};

// Follows every symbolic link on the way from the folder of `path`, folder links included,
// one name at a time from the folder last reached. Refused: a chain that loops or cannot be
// read; a link the kernel's protected_symlinks rule would not let this user follow (another
// user's link in a sticky, world-writable folder); and a link that belongs neither to this
// user, nor to root, nor to the owner of the file the chain leads to (a missing file has no
// owner): whoever made it could otherwise have us write a file they could not write.
LinkTarget resolveLinksForWriting(const std::filesystem::path& path);
