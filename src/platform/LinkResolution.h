// Following symbolic links for a write, only where whoever made them could not lead us astray.
#pragma once

#include <filesystem>
#include <string>

// Where a write through a path lands.
struct LinkTarget {
    // The end of the chain of links; for a dangling link, the missing path it names.
    std::filesystem::path path;
    // Why the chain must not be followed for a write, in words; empty when it may.
    std::string refusal;
};

// Follows every symbolic link in the chain that starts at `path`. Refused: a chain that loops
// or cannot be read; a link the kernel's protected_symlinks rule would not let this user follow
// (another user's link in a sticky, world-writable folder); and a link that belongs neither to
// this user, nor to root, nor to the owner of the file the chain leads to (a missing file has
// no owner): whoever made it could otherwise have us write a file they could not write.
LinkTarget resolveLinksForWriting(std::filesystem::path path);
