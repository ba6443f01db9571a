#include "AtomicFile.h"
#include "ExtendedAttributes.h"
#include "LinkResolution.h"
#include "PosixFiles.h"
#include "TemporaryNames.h"

#include <array>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kMaxTemporaryNameAttempts = 100;
// Not an error number of the system: a directory, FIFO or device stands where the file should.
constexpr int kNotARegularFile = -1;

// How a try at replacing the file ended. NotHere: the replace cannot be made in this place
// (a folder we may not write, another user's file in a sticky folder, a file mounted on its
// own, attributes a new file cannot carry), though the file itself may still be rewritten.
// `error` is the system's error number when it is not Done.
enum class Replace { Done, Failed, NotHere };
struct Attempt {
    Replace kind = Replace::Done;
    int error = 0;
};

std::string reasonFor(int error)
{
    return error == kNotARegularFile ? std::string("it is not a regular file")
                                     : std::generic_category().message(error);
}

// Reads until the buffer is full or the file ends; a read error means nothing usable was read.
std::optional<std::size_t> readUpTo(int fd, std::span<std::uint8_t> buffer)
{
    std::size_t count = 0;
    while (count < buffer.size()) {
        const ssize_t got =
            retryOnInterrupt([&] { return ::read(fd, buffer.data() + count, buffer.size() - count); });
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        count += static_cast<std::size_t>(got);
    }
    return count;
}

// pwrite() may take fewer bytes than asked; only every byte on disk counts as written.
// 0, or the system's error number.
int writeAllFromStart(int fd, std::span<const std::uint8_t> bytes)
{
    std::size_t count = 0;
    while (count < bytes.size()) {
        const ssize_t put = retryOnInterrupt([&] {
            return ::pwrite(fd, bytes.data() + count, bytes.size() - count, static_cast<off_t>(count));
        });
        if (put < 0)
            return errno;
        if (put == 0)
            return EIO;
        count += static_cast<std::size_t>(put);
    }
    return 0;
}

// Root may write anywhere, so the mode bits are looked at as well: a file or folder with no
// write bit at all has been protected on purpose and is left alone, whoever runs the program.
// 0 when `leaf` in `folder` ("." for the folder itself) may be written, else why not.
int writeRefusal(int folder, const char* leaf, const struct stat& info)
{
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return EACCES;
    return ::faccessat(folder, leaf, W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

// The errors that say this folder or this file will not take a replacement, whatever we retry,
// while a full disk or a failing one says nothing should be written at all.
bool cannotReplaceHere(int error)
{
    return error == EACCES || error == EPERM || error == EBUSY || error == EXDEV || error == ENOTSUP;
}

Attempt failedWith(int error)
{
    return {cannotReplaceHere(error) ? Replace::NotHere : Replace::Failed, error};
}

// Removes the temporary `leaf` if no writer holds it. Every writer keeps its temporary locked
// while it writes it, and the lock ends with the writer's process however that ends, so a
// lock we can take marks a temporary nobody is writing (a writer that then finds it gone at
// its rename writes another). A pid in the name cannot tell that: the writer may run in
// another container or on another machine sharing the folder, where our pids mean nothing.
// A file bigger than what is being written is no temporary of ours.
void removeIfAbandoned(int folder, const char* leaf, std::size_t largest)
{
    int fd = ::openat(folder, leaf, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        fd = ::openat(folder, leaf, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat held {};
    struct stat named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        static_cast<std::size_t>(held.st_size) <= largest &&
        ::fstatat(folder, leaf, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(held, named))
        ::unlinkat(folder, leaf, 0);
    ::close(fd);
}

// A replace cut short (the program killed, the machine switched off) leaves its temporary
// behind, and every such kill would add one more hidden file to the user's folder.
void removeAbandonedTemporaries(int folder, const std::string& name, std::size_t largest)
{
    const std::string prefix = temporaryPrefix(name);
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* const listing = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!listing) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    std::vector<std::string> found;
    while (const dirent* entry = ::readdir(listing))
        if (isTemporaryName(entry->d_name, prefix))
            found.emplace_back(entry->d_name);
    for (const std::string& leaf : found)
        removeIfAbandoned(::dirfd(listing), leaf.c_str(), largest);
    ::closedir(listing);
}

// A hidden, unique name beside the target, so the final rename never crosses file systems.
// New files get 0644 less the umask, as any file this program creates. The temporary comes
// back locked (see removeIfAbandoned); one another save removed before we could lock it is
// given up for a fresh one. Where the file system has no locks, nobody can take one either,
// and the temporary is simply never removed by another save.
int createTemporary(int folder, const std::string& name, std::string& temporary)
{
    std::random_device random;
    for (int attempt = 0; attempt < kMaxTemporaryNameAttempts; ++attempt) {
        temporary = temporaryName(name, static_cast<unsigned long>(::getpid()), random());
        const int fd =
            ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return fd;
        struct stat info {};
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
        if (locked && ::fstat(fd, &info) == 0 && info.st_nlink > 0)
            return fd;
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

// The replaced file keeps its owner where the system lets us (root saving a user's file must
// not take it away from that user), else at least its group (a member saving a file shared
// in a group must not shut the group out). It keeps its extended attributes, whose ACL names
// the other users it is shared with, and its permission bits, set last: on a file with an ACL
// the group bits are the ACL's mask, and a change of owner may clear set-id bits.
Attempt takeOverAttributes(int fd, const LinkTarget& target)
{
    const std::optional<struct stat>& earlier = target.existing;
    if (!earlier)
        return {};
    if ((earlier->st_uid != ::geteuid() || earlier->st_gid != ::getegid()) &&
        ::fchown(fd, earlier->st_uid, earlier->st_gid) != 0)
        static_cast<void>(::fchown(fd, static_cast<uid_t>(-1), earlier->st_gid));
    const UniqueFd from(::openat(target.folder.get(), target.leaf.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!from || ::fstat(from.get(), &info) != 0 || !sameFile(info, *earlier))
        return {Replace::Failed, EAGAIN};
    if (!copyExtendedAttributes(from.get(), fd))
        return {Replace::NotHere, ENOTSUP};
    if (::fchmod(fd, earlier->st_mode & 07777) != 0)
        return {Replace::Failed, errno};
    return {};
}

// Makes the rename itself survive a power cut; the new content is already in place, so a
// failure here changes nothing about the result.
void syncFolder(int folder)
{
    const UniqueFd fd(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd)
        static_cast<void>(::fsync(fd.get()));
}

// One try at the replace; nothing when another save took our temporary for an abandoned one
// after we closed it (the lock ends with the close) and before our rename found it. The
// temporary is closed before the rename, so that whoever watches the folder sees the file
// written once, by the rename, and not also closed after it.
std::optional<Attempt> tryReplace(const LinkTarget& target, std::span<const std::uint8_t> bytes)
{
    const int folder = target.folder.get();
    std::string temporary;
    const int fd = createTemporary(folder, target.leaf, temporary);
    if (fd < 0)
        return failedWith(errno);
    Attempt result = takeOverAttributes(fd, target);
    if (result.kind == Replace::Done) {
        int error = writeAllFromStart(fd, bytes);
        if (error == 0 && ::fsync(fd) != 0)
            error = errno;
        result = {error == 0 ? Replace::Done : Replace::Failed, error};
    }
    if (::close(fd) != 0 && result.kind == Replace::Done)
        result = {Replace::Failed, errno};
    if (result.kind == Replace::Done &&
        ::renameat(folder, temporary.c_str(), folder, target.leaf.c_str()) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        result = failedWith(errno);
    }
    if (result.kind != Replace::Done)
        ::unlinkat(folder, temporary.c_str(), 0);
    return result;
}

Attempt replaceBeside(const LinkTarget& target, std::span<const std::uint8_t> bytes)
{
    for (int attempt = 0; attempt < kMaxTemporaryNameAttempts; ++attempt) {
        const std::optional<Attempt> result = tryReplace(target, bytes);
        if (result && result->kind == Replace::Done) {
            syncFolder(target.folder.get());
            removeAbandonedTemporaries(target.folder.get(), target.leaf, bytes.size());
        }
        if (result)
            return *result;
    }
    return {Replace::Failed, EEXIST};
}

// Where no replacement can be made, the file itself is rewritten: one write of all the bytes
// from its start, then the end cut there, so a reader at no moment finds it empty. The file
// keeps its owner, attributes and hard links, and a file mounted on its own stays mounted.
// Only the file looked at before is written: not whatever took its name meanwhile.
int rewriteInPlace(const LinkTarget& target, const struct stat& earlier, std::span<const std::uint8_t> bytes)
{
    const int fd = ::openat(target.folder.get(), target.leaf.c_str(),
                            O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat info {};
    int error = ::fstat(fd, &info) == 0 ? 0 : errno;
    if (error == 0 && !(S_ISREG(info.st_mode) && sameFile(info, earlier)))
        error = EAGAIN;
    if (error == 0)
        error = writeAllFromStart(fd, bytes);
    if (error == 0 && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

// The replace of `target`, whose links are already followed: 0, or why it was not written.
int replaceResolved(const LinkTarget& target, std::span<const std::uint8_t> bytes)
{
    const int folder = target.folder.get();
    struct stat folderInfo {};
    if (::fstat(folder, &folderInfo) != 0)
        return errno;
    if (target.existing) {
        // Only a regular file is ever replaced: not a directory, FIFO or device of that name.
        if (!S_ISREG(target.existing->st_mode))
            return kNotARegularFile;
        if (const int refused = writeRefusal(folder, target.leaf.c_str(), *target.existing))
            return refused;
    }
    const int folderRefused = writeRefusal(folder, ".", folderInfo);
    const Attempt replaced =
        folderRefused == 0 ? replaceBeside(target, bytes) : Attempt{Replace::NotHere, folderRefused};
    if (replaced.kind == Replace::NotHere && target.existing)
        return rewriteInPlace(target, *target.existing, bytes);
    return replaced.error;
}

// A link that leads out of the folder is followed only onto a file `outside` accepts; the
// file is read from the folder the walk holds, and only while it is the file judged.
bool acceptedOutside(const LinkTarget& target, const OutsideTarget& outside)
{
    if (!outside.accepts || !target.existing || !S_ISREG(target.existing->st_mode))
        return false;
    const UniqueFd fd(::openat(target.folder.get(), target.leaf.c_str(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !sameFile(info, *target.existing))
        return false;
    std::array<std::uint8_t, kOutsideTargetProbe> start{};
    const std::optional<std::size_t> count = readUpTo(fd.get(), start);
    return count && outside.accepts(std::span<const std::uint8_t>(start.data(), *count));
}

std::string outsideRefusal(const LinkTarget& target, const OutsideTarget& outside)
{
    std::string text = "it is a link to \"" + target.shown.string() + "\", outside its folder";
    if (!outside.kind.empty())
        text.append(", and that is not ").append(outside.kind);
    return text;
}

} // namespace

std::optional<std::size_t> readFileStart(const fs::path& path, std::span<std::uint8_t> buffer)
{
    // Looking first keeps us from even opening a device; the fstat below catches a swap in between.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::size_t> count;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        count = readUpTo(fd, buffer);
    ::close(fd);
    return count;
}

WriteResult replaceFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes,
                                  const OutsideTarget& outside)
{
    const LinkTarget target = resolveLinksForWriting(path);
    if (!target.refusal.empty())
        return {path, target.refusal};
    if (target.outside && !acceptedOutside(target, outside))
        return {path, outsideRefusal(target, outside)};
    const int error = replaceResolved(target, bytes);
    return {path, error == 0 ? std::string() : reasonFor(error)};
}
