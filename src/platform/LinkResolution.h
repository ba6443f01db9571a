// Following symbolic links the way the kernel follows them for this user.
#pragma once

#include <filesystem>
#include <optional>

// The path that finally receives what is written through `path`: every symbolic link in the
// chain is followed, a dangling one resolving to the missing path it names. Nothing when the
// chain loops or cannot be read, or when the kernel's protected_symlinks rule would not let
// this user follow one of its links (another user's link in a sticky, world-writable folder).
std::optional<std::filesystem::path> resolveLinksAsTheKernelWould(std::filesystem::path path);
