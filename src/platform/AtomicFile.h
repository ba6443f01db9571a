// Reading and replacing a small file of the user's: never blocking on a FIFO or a device, never
// leaving a torn file, never writing where another user's link points.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

// How a write ended: `file` is the file that was meant, `failure` why it was not written, in
// the system's words ("No space left on device"); empty when it was written.
struct WriteResult {
    std::filesystem::path file;
    std::string failure;

    explicit operator bool() const { return failure.empty(); }
};

// Reads the start of the regular file at `path` (links followed, whoever made them) into
// `buffer`: the count of bytes read, or nothing when it is no regular file or cannot be read.
// Never blocks (a FIFO or device is not opened), never writes.
std::optional<std::size_t> readFileStart(const std::filesystem::path& path, std::span<std::uint8_t> buffer);

// Replaces the file at `path` with `bytes`, atomically: on any failure (full disk,
// write-protected file, a directory of that name) the earlier file stays exactly as it was.
// The new file keeps the old one's owner where the system allows, its group, permission bits,
// ACL and the extended attributes this user can read; a new one is 0644 less the umask. Where
// no replacement can be made beside the file (a folder the user may not write, another
// user's file in a sticky folder, a file mounted on its own, attributes a new file cannot
// carry), the existing file is rewritten in place instead, keeping its hard links. A file
// without any write bit is refused even when running as root.
//
// A symbolic link keeps pointing at its target, which receives the new content (a dangling
// link gets its target created), only when every link on the way belongs to this user, to
// root, or to the owner of the file it finally leads to, and the kernel's protected_symlinks
// rule would follow it: another user's link must not make us write a file that user could
// not write. Otherwise nothing is written.
//
// A temporary left beside the file by a replace whose process was killed, wherever that
// process ran, is removed by the next replace that succeeds. `namesInFolder`, when given,
// were read from path's folder just before and hold at least every name there that contains
// path's file name (the temporaries are named after it): the folder is then not read again.
// They are not used when `path` is a link, whose target's folder holds the temporaries.
WriteResult replaceFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                                  const std::vector<std::string>* namesInFolder = nullptr);
