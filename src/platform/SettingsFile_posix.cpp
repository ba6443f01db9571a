#include "ExtendedAttributes.h"
#include "FileLookup.h"
#include "LinkResolution.h"
#include "SettingsFile.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <random>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kMaxTemporaryNameAttempts = 100;

// How a try at replacing the file ended. NotHere: the replace cannot be made in this place
// (a folder we may not write, another user's file in a sticky folder, a file mounted on its
// own, attributes a new file cannot carry), though the file itself may still be rewritten.
enum class Replace { Done, Failed, NotHere };

// Reads until the buffer is full or the file ends; a read error means nothing usable was read.
std::optional<std::size_t> readUpTo(int fd, SettingsBytes& bytes)
{
    std::size_t count = 0;
    while (count < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + count, bytes.size() - count);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        count += static_cast<std::size_t>(got);
    }
    return count;
}

// pwrite() may take fewer bytes than asked; only every byte on disk counts as written.
bool writeAllFromStart(int fd, const SettingsBytes& bytes)
{
    std::size_t count = 0;
    while (count < bytes.size()) {
        const ssize_t put =
            ::pwrite(fd, bytes.data() + count, bytes.size() - count, static_cast<off_t>(count));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        count += static_cast<std::size_t>(put);
    }
    return true;
}

// Root may write anywhere, so the mode bits are looked at as well: a file or folder with no
// write bit at all has been protected on purpose and is left alone, whoever runs the program.
bool isWritable(const fs::path& path, const struct stat& info)
{
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// The errors that say this folder or this file will not take a replacement, whatever we retry,
// while a full disk or a failing one says nothing should be written at all.
bool cannotReplaceHere(int error)
{
    return error == EACCES || error == EPERM || error == EBUSY || error == EXDEV || error == ENOTSUP;
}

Replace failedWith(int error)
{
    return cannotReplaceHere(error) ? Replace::NotHere : Replace::Failed;
}

// Temporaries are named ".<name>.<pid of the writer>.<random number>".
std::string temporaryPrefix(const fs::path& name)
{
    // Appended piece by piece: g++ 12 at -O2 warns falsely about "." + std::string.
    std::string prefix(".");
    prefix.append(name.string()).append(".");
    return prefix;
}

// True for a name of our temporaries' shape, so nothing else in the folder is ever removed.
bool isTemporaryName(std::string_view leaf, std::string_view prefix)
{
    const auto isNumber = [](std::string_view text, std::size_t longest) {
        return !text.empty() && text.size() <= longest &&
               text.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!leaf.starts_with(prefix))
        return false;
    leaf.remove_prefix(prefix.size());
    const std::size_t dot = leaf.find('.');
    return dot != std::string_view::npos && isNumber(leaf.substr(0, dot), 7) &&
           isNumber(leaf.substr(dot + 1), 10);
}

bool sameFile(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// Removes the temporary `leaf` if no writer holds it. Every writer keeps its temporary locked
// while it writes it, and the lock ends with the writer's process however that ends, so a
// lock we can take marks a temporary nobody is writing (a writer that then finds it gone at
// its rename writes another). A pid in the name cannot tell that: the writer may run in
// another container or on another machine sharing the folder, where our pids mean nothing.
void removeIfAbandoned(int folder, const char* leaf)
{
    int fd = ::openat(folder, leaf, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        fd = ::openat(folder, leaf, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat held {};
    struct stat named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        static_cast<std::size_t>(held.st_size) <= kSettingsFileSize &&
        ::fstatat(folder, leaf, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(held, named))
        ::unlinkat(folder, leaf, 0);
    ::close(fd);
}

// A save cut short (the program killed, the machine switched off) leaves its temporary
// behind, and every such kill would add one more hidden file to the user's folder.
void removeAbandonedTemporaries(const fs::path& folder, const fs::path& name)
{
    DIR* const listing = ::opendir(folder.c_str());
    if (!listing)
        return;
    const std::string prefix = temporaryPrefix(name);
    while (const dirent* entry = ::readdir(listing))
        if (isTemporaryName(entry->d_name, prefix))
            removeIfAbandoned(::dirfd(listing), entry->d_name);
    ::closedir(listing);
}

// A hidden, unique name beside the target, so the final rename never crosses file systems.
// New files get 0644 less the umask, as any file this program creates. The temporary comes
// back locked (see removeIfAbandoned); one another save removed before we could lock it is
// given up for a fresh one. Where the file system has no locks, nobody can take one either,
// and the temporary is simply never removed by another save.
int createTemporary(const fs::path& folder, const fs::path& name, fs::path& temporary)
{
    std::random_device random;
    for (int attempt = 0; attempt < kMaxTemporaryNameAttempts; ++attempt) {
        std::string leaf = temporaryPrefix(name);
        leaf.append(std::to_string(::getpid())).append(".").append(std::to_string(random()));
        temporary = folder / leaf;
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
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
Replace takeOverAttributes(int fd, const fs::path& target, const std::optional<struct stat>& earlier)
{
    if (!earlier)
        return Replace::Done;
    if ((earlier->st_uid != ::geteuid() || earlier->st_gid != ::getegid()) &&
        ::fchown(fd, earlier->st_uid, earlier->st_gid) != 0)
        static_cast<void>(::fchown(fd, static_cast<uid_t>(-1), earlier->st_gid));
    if (!copyExtendedAttributes(target, fd))
        return Replace::NotHere;
    return ::fchmod(fd, earlier->st_mode & 07777) == 0 ? Replace::Done : Replace::Failed;
}

// Makes the rename itself survive a power cut; the new content is already in place, so a
// failure here changes nothing about the result.
void syncFolder(const fs::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    static_cast<void>(::fsync(fd));
    ::close(fd);
}

// One try at the replace; nothing when another save took our temporary for an abandoned one
// after we closed it (the lock ends with the close) and before our rename found it. The
// temporary is closed before the rename, so that whoever watches the folder sees the file
// written once, by the rename, and not also closed after it.
std::optional<Replace> tryReplace(const fs::path& target, const fs::path& folder, const SettingsBytes& bytes,
                                  const std::optional<struct stat>& earlier)
{
    fs::path temporary;
    const int fd = createTemporary(folder, target.filename(), temporary);
    if (fd < 0)
        return failedWith(errno);
    Replace result = takeOverAttributes(fd, target, earlier);
    if (result == Replace::Done && !(writeAllFromStart(fd, bytes) && ::fsync(fd) == 0))
        result = Replace::Failed;
    if (::close(fd) != 0 && result == Replace::Done)
        result = Replace::Failed;
    if (result == Replace::Done && ::rename(temporary.c_str(), target.c_str()) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        result = failedWith(errno);
    }
    if (result != Replace::Done)
        ::unlink(temporary.c_str());
    return result;
}

Replace replaceAtomically(const fs::path& target, const fs::path& folder, const SettingsBytes& bytes,
                          const std::optional<struct stat>& earlier)
{
    for (int attempt = 0; attempt < kMaxTemporaryNameAttempts; ++attempt) {
        const std::optional<Replace> result = tryReplace(target, folder, bytes, earlier);
        if (result == Replace::Done) {
            syncFolder(folder);
            removeAbandonedTemporaries(folder, target.filename());
        }
        if (result)
            return *result;
    }
    return Replace::Failed;
}

// Where no replacement can be made, the file itself is rewritten: one write of all 35 bytes
// from its start, then the end cut at 35, so a reader at no moment finds it empty. The file
// keeps its owner, attributes and hard links, and a file mounted on its own stays mounted.
// Only the file looked at before is written: not whatever took its name meanwhile.
bool rewriteInPlace(const fs::path& target, const struct stat& earlier, const SettingsBytes& bytes)
{
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool written = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && sameFile(info, earlier) &&
                   writeAllFromStart(fd, bytes) && ::ftruncate(fd, kSettingsFileSize) == 0 &&
                   ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    return written;
}

} // namespace

bool loadOptionsFrom(const fs::path& path, OptionsRecord& record)
{
    // Looking first keeps us from even opening a device; the fstat below catches a swap in between.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    SettingsBytes bytes{};
    std::optional<std::size_t> count;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        count = readUpTo(fd, bytes);
    ::close(fd);
    if (!count)
        return false;
    decodeOptions(std::span<const std::uint8_t>(bytes.data(), *count), record);
    return true;
}

bool saveOptionsTo(const fs::path& path, OptionsRecord& record)
{
    record.Header = std::string(kSettingsHeader);
    const std::optional<fs::path> target = resolveLinksAsTheKernelWould(path);
    if (!target)
        return false;
    const fs::path folder = target->has_parent_path() ? target->parent_path() : fs::path(".");
    struct stat folderInfo {};
    if (::stat(folder.c_str(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode))
        return false;
    std::optional<struct stat> earlier;
    struct stat targetInfo {};
    if (::lstat(target->c_str(), &targetInfo) == 0) {
        // Only a regular file is ever replaced: not a directory, FIFO or device of that name.
        if (!S_ISREG(targetInfo.st_mode) || !isWritable(*target, targetInfo))
            return false;
        earlier = targetInfo;
    } else if (errno != ENOENT) {
        return false;
    }
    const SettingsBytes bytes = encodeOptions(record);
    const Replace replaced = isWritable(folder, folderInfo)
                                 ? replaceAtomically(*target, folder, bytes, earlier)
                                 : Replace::NotHere;
    if (replaced == Replace::NotHere && earlier)
        return rewriteInPlace(*target, *earlier, bytes);
    return replaced == Replace::Done;
}

fs::path settingsFilePath()
{
    // An existing file of this name in any letter case is the settings file ("orvelane.dat"
    // copied from an old disc is read and rewritten under its own name); only when there is
    // none is "ORVELANE.DAT" made.
    return findFileIgnoringCase(fs::path(), kSettingsFileName).value_or(fs::path(kSettingsFileName));
}

void LoadOptions(OptionsRecord& record)
{
    static_cast<void>(loadOptionsFrom(settingsFilePath(), record));
}

void SaveOptions(OptionsRecord& record)
{
    static_cast<void>(saveOptionsTo(settingsFilePath(), record));
}
