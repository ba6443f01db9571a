// Reading and replacing a small file of the user's: never blocking on a FIFO or a device, never
// leaving a torn file, never writing where another user's link points.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

// How a write ended: `file` is the file that was meant, `failure` why it was not written, in
// the system's words ("No space left on device"); empty when it was written.
struct WriteResult {
    std::filesystem::path file;
    std::string failure;

    explicit operator bool() const { return failure.empty(); }
};

// Which files a link may lead a write onto out of the folder of the name written: `accepts`
// is given the first bytes of the file there (at most kOutsideTargetProbe of them, all of a
// shorter file) and says whether it may be replaced; `kind` names those files in a refusal
// ("a settings file"). Without `accepts`, no file out there is written.
struct OutsideTarget {
    std::function<bool(std::span<const std::uint8_t> start)> accepts;
    std::string kind;
};
inline constexpr std::size_t kOutsideTargetProbe = 64;

// Reads the start of the regular file at `path` (links followed, whoever made them) into
// `buffer`: the count of bytes read, or nothing when it is no regular file or cannot be read.
// Never blocks (a FIFO or device is not opened), never writes.
std::optional<std::size_t> readFileStart(const std::filesystem::path& path, std::span<std::uint8_t> buffer);

// Why a link must not lead a write out of the folder of the name written onto `file`, named
// `shown` in the text; empty when it may: `file` exists and `outside` accepts its start.
inline std::string outsideRefusal(const std::filesystem::path& file, const std::string& shown,
                                  const OutsideTarget& outside)
{
    std::array<std::uint8_t, kOutsideTargetProbe> start{};
    const std::optional<std::size_t> count = readFileStart(file, start);
    if (outside.accepts && count && outside.accepts(std::span<const std::uint8_t>(start.data(), *count)))
        return {};
    std::string text = "it is a link to \"" + shown + "\", outside its folder";
    if (!outside.kind.empty())
        text.append(", and that is not ").append(outside.kind);
    return text;
}

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
// not write. A link, even one of this user's, leads a write out of path's folder (and the
// folders below it) only onto an existing file `outside` accepts: an unpacked archive's link
// must not turn the user's shell profile into a settings file. Otherwise nothing is written.
// Each step of the way is taken from the folder held open before it, and the file is
// written there: whoever renames folders meanwhile cannot send the write elsewhere.
//
// A temporary left beside the file by a replace whose process was killed, wherever that
// process ran, is removed by the next replace that succeeds.
WriteResult replaceFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                                  const OutsideTarget& outside = {});
