// The settings file on Linux. The path is followed one name at a time, each name opened as it
// stands (O_PATH) from the folder reached before it, so every link on the way is judged by its
// owner and the file is written in the very folder the way ends in; the kernel confirms
// whether that folder lies within the folder of the path written (openat2).
#include "AtomicFile.h"
#include "PosixFiles.h"
#include "TemporaryNames.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <linux/limits.h>
#include <linux/openat2.h>
#include <random>
#include <sys/file.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kMaxTemporaryNameAttempts = 100;
// The kernel's own bound on a chain of links.
constexpr std::size_t kMaxLinkHops = 40;

// Where a write through a path lands.
struct Target {
    UniqueFd start;                      // the folder of the path written
    UniqueFd folder;                     // the folder holding the end of the way
    std::string leaf;                    // the end's name in that folder
    std::optional<struct stat> existing; // the end as it stood, not followed; nothing when missing
    UniqueFd file;                       // the end itself, held by an O_PATH descriptor
    std::vector<uid_t> linkOwners;       // of every link on the way
    std::string refusal;                 // why nothing may be written there; empty when it may
};

// The name in /proc that leads to the very file `fd` holds, whatever has taken its own name
// since. It also serves an O_PATH descriptor, which itself takes no read and no f*xattr() call.
std::string heldName(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

// The path the kernel gives the file or folder `fd` holds.
fs::path nameOf(int fd)
{
    std::error_code ignored;
    return fs::read_symlink(heldName(fd), ignored);
}

// Opens again, with `flags`, the very file the O_PATH descriptor `fd` holds; never waiting on
// a FIFO.
UniqueFd reopen(int fd, int flags)
{
    return UniqueFd(::open(heldName(fd).c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
}

// The kernel's rule, held here too since the walk reads links rather than having the kernel
// follow them: in a sticky, world-writable folder such as /tmp, a link is followed only by its
// owner, or when the folder's owner made it, unless fs.protected_symlinks is 0 (where it
// cannot be read, it counts as on). Anyone else could have planted it there to lead our save
// onto a file of ours that we never meant to touch.
bool kernelWouldFollow(const struct stat& link, const struct stat& folder)
{
    if (link.st_uid == ::geteuid() || (folder.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH) ||
        folder.st_uid == link.st_uid)
        return true;
    const UniqueFd fd(::open("/proc/sys/fs/protected_symlinks", O_RDONLY | O_CLOEXEC));
    char value = '1';
    return fd && ::read(fd.get(), &value, 1) == 1 && value == '0';
}

// Follows `path` one name at a time. Each name is opened as it stands (O_PATH, no link
// followed) from the folder reached before it: a link's owner and text come from one and the
// same link, and a folder is entered as the very one looked at, whoever renames or swaps
// names meanwhile. Links to folders on the way count as much as the last one.
Target walk(const fs::path& path)
{
    Target end;
    end.start = UniqueFd(
        ::open(path.has_parent_path() ? path.parent_path().c_str() : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    end.folder = UniqueFd(end.start ? ::fcntl(end.start.get(), F_DUPFD_CLOEXEC, 0) : -1);
    std::deque<std::string> rest{path.filename().string()};
    const auto failed = [&end](int error, const char* refusal = nullptr) {
        end.refusal = refusal ? refusal : std::generic_category().message(error);
        return std::move(end);
    };
    if (!end.folder)
        return failed(errno);
    while (!rest.empty()) {
        const std::string name = std::move(rest.front());
        rest.pop_front();
        const bool last = rest.empty();
        if (last && (name.empty() || name == "." || name == ".."))
            return failed(EISDIR);
        if (name.empty() || name == ".")
            continue;
        UniqueFd entry(::openat(end.folder.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat info {};
        struct stat folder {};
        if (!entry && errno == ENOENT && last) {
            end.leaf = name;
        } else if (!entry || ::fstat(entry.get(), &info) != 0 || ::fstat(end.folder.get(), &folder) != 0) {
            return failed(errno);
        } else if (S_ISLNK(info.st_mode)) {
            std::array<char, PATH_MAX> text{};
            const ssize_t length = ::readlinkat(entry.get(), "", text.data(), text.size());
            if (end.linkOwners.size() >= kMaxLinkHops || length < 0 || std::size_t(length) >= text.size())
                return failed(length < 0 ? errno : ELOOP);
            if (!kernelWouldFollow(info, folder))
                return failed(
                    0, "it is another user's link in a shared folder, which the system does not follow");
            end.linkOwners.push_back(info.st_uid);
            const fs::path link(std::string(text.data(), std::size_t(length)));
            if (link.is_absolute())
                end.folder = UniqueFd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
            const fs::path names = link.relative_path();
            rest.insert(rest.begin(), names.begin(), names.end());
            if (names.empty())
                rest.emplace_front(); // "/" alone: the root, a folder
        } else if (last) {
            end.leaf = name;
            end.existing = info;
            end.file = std::move(entry);
        } else if (!S_ISDIR(info.st_mode)) {
            return failed(ENOTDIR);
        } else {
            end.folder = std::move(entry);
        }
    }
    return end;
}

// True when the end of the way lies in the folder of the path written or below it. The kernel
// names both folders, and then confirms that the end's folder, named relative to the start,
// is reached without leaving the start nor following any link (openat2 with RESOLVE_BENEATH
// and RESOLVE_NO_SYMLINKS): a folder renamed meanwhile cannot fool it.
bool liesWithin(const Target& target)
{
    const fs::path relative = nameOf(target.folder.get()).lexically_relative(nameOf(target.start.get()));
    open_how how{.flags = O_PATH | O_DIRECTORY | O_CLOEXEC,
                 .mode = 0,
                 .resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS};
    const UniqueFd fd(
        static_cast<int>(::syscall(SYS_openat2, target.start.get(), relative.c_str(), &how, sizeof how)));
    struct stat reached {};
    struct stat folder {};
    if (!fd) // a kernel before 5.6, or a sandbox without openat2: the names alone
        return errno == ENOSYS && !relative.empty() && *relative.begin() != "..";
    return ::fstat(fd.get(), &reached) == 0 && ::fstat(target.folder.get(), &folder) == 0 &&
           sameFile(reached, folder);
}

// Why the links on the way must not be followed for a write; empty when they may. A link of
// another user's may lead us only to a file of that same user, which they could write
// themselves (a missing file has no owner); a link of ours or root's leads wherever it points.
// Out of the folder, a link leads only onto an existing file `outside` accepts.
std::string linkRefusal(const Target& target, const OutsideTarget& outside)
{
    if (!std::ranges::all_of(target.linkOwners, [&target](uid_t owner) {
            return owner == ::geteuid() || owner == 0 ||
                   (target.existing && owner == target.existing->st_uid);
        }))
        return "it leads through another user's link to a file that is not theirs";
    if (liesWithin(target))
        return {};
    // The file is read through the descriptor the walk holds, whatever has taken its name since.
    const fs::path file = target.file ? heldName(target.file.get()) : "";
    return outsideRefusal(file, (nameOf(target.folder.get()) / target.leaf).string(), outside);
}

// Root may write anywhere, so the mode bits are looked at as well: a file or folder with no
// write bit at all has been protected on purpose and is left alone, whoever runs the program.
// 0 when `leaf` in `folder` ("." for the folder itself) may be written, else why not.
int writeRefusal(int folder, const char* leaf)
{
    struct stat info {};
    if (::fstatat(folder, leaf, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return EACCES;
    return ::faccessat(folder, leaf, W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

// The list of extended attributes of the file named `file` (`attribute` null), or the value
// of one, in one call: neither is ever bigger than 64 KiB (XATTR_LIST_MAX, XATTR_SIZE_MAX). A
// file system without extended attributes has none.
std::optional<std::string> fetch(const std::string& file, const char* attribute = nullptr)
{
    std::string bytes(std::max(XATTR_SIZE_MAX, XATTR_LIST_MAX), '\0');
    const ssize_t got = attribute ? ::getxattr(file.c_str(), attribute, bytes.data(), bytes.size())
                                  : ::listxattr(file.c_str(), bytes.data(), bytes.size());
    if (got < 0)
        return errno == ENOTSUP ? std::optional(std::string()) : std::nullopt;
    bytes.resize(static_cast<std::size_t>(got));
    return bytes;
}

// Gives the file `to` every extended attribute of the file `from` (its ACL among them) and no
// other: a new file takes the folder's default ACL, and its permission bits must mean again
// what they meant. An attribute the system would not let us set (an SELinux label, say) still
// counts as carried when `to` already has that very value. Both are reached by their held
// names, so `from` may be an O_PATH descriptor. A list holds each name ended by a zero byte,
// and the string holding it adds one more at its end.
bool copyExtendedAttributes(int from, int to)
{
    const std::string source = heldName(from);
    const std::string target = heldName(to);
    const std::optional<std::string> wanted = fetch(source);
    const std::optional<std::string> present = fetch(target);
    if (!wanted || !present)
        return false;
    for (const char* name = present->c_str(); *name != '\0'; name += std::strlen(name) + 1)
        static_cast<void>(::removexattr(target.c_str(), name));
    for (const char* name = wanted->c_str(); *name != '\0'; name += std::strlen(name) + 1) {
        const std::optional<std::string> value = fetch(source, name);
        if (!value || (::setxattr(target.c_str(), name, value->data(), value->size(), 0) != 0 &&
                       fetch(target, name) != value))
            return false;
    }
    return true;
}

// A replace cut short (the program killed, the machine switched off) leaves its temporary
// behind; the next replace removes those no writer holds. Every writer keeps its temporary
// locked while it writes it, and the lock ends with the writer's process however that ends,
// so a lock we can take marks a temporary nobody is writing (a writer that then finds it gone
// at its rename writes another). A pid in the name cannot tell that: the writer may run in
// another container or on another machine sharing the folder, where our pids mean nothing. A
// file bigger than what is being written is no temporary of ours. A shared lock is enough to
// tell, since every writer holds its lock alone, and needs only a descriptor open for reading,
// even where locks are kept as byte ranges (NFS).
void removeAbandonedTemporaries(int folder, const std::string& name, std::size_t largest)
{
    DIR* const listing = ::fdopendir(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listing)
        return;
    while (const dirent* entry = ::readdir(listing)) {
        const char* const leaf = entry->d_name;
        if (!isTemporaryName(leaf, name))
            continue;
        const UniqueFd fd(::openat(folder, leaf, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat info {};
        struct stat now {};
        if (fd && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) &&
            static_cast<std::size_t>(info.st_size) <= largest && ::flock(fd.get(), LOCK_SH | LOCK_NB) == 0 &&
            ::fstatat(folder, leaf, &now, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(now, info))
            ::unlinkat(folder, leaf, 0);
    }
    ::closedir(listing);
}

// The replaced file keeps its owner where the system lets us (root saving a user's file must
// not take it away from that user), else at least its group (a member saving a file shared
// in a group must not shut the group out). It keeps its extended attributes, whose ACL names
// the other users it is shared with, and its permission bits, set last: on a file with an ACL
// the group bits are the ACL's mask, and a change of owner may clear set-id bits.
int takeOverAttributes(int fd, const Target& target)
{
    const std::optional<struct stat>& earlier = target.existing;
    if (!earlier)
        return 0;
    if ((earlier->st_uid != ::geteuid() || earlier->st_gid != ::getegid()) &&
        ::fchown(fd, earlier->st_uid, earlier->st_gid) != 0)
        static_cast<void>(::fchown(fd, static_cast<uid_t>(-1), earlier->st_gid));
    if (!copyExtendedAttributes(target.file.get(), fd))
        return ENOTSUP;
    return ::fchmod(fd, earlier->st_mode & 07777) == 0 ? 0 : errno;
}

// Writes all of `bytes` into `fd` from its start, cuts the file there and flushes it to disk,
// then closes it: 0, or the system's error number. pwrite() may take fewer bytes than asked (a
// file-size limit, a disk filling up), and only every byte on disk counts as written: the rest
// is asked again, whose failure says why.
int writeOut(UniqueFd fd, std::span<const std::uint8_t> bytes)
{
    for (std::size_t count = 0; count < bytes.size();) {
        const ssize_t put = retryOnInterrupt([&] {
            return ::pwrite(fd.get(), bytes.data() + count, bytes.size() - count, static_cast<off_t>(count));
        });
        if (put <= 0)
            return put < 0 ? errno : EIO;
        count += static_cast<std::size_t>(put);
    }
    if (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd.get()) != 0)
        return errno;
    return ::close(fd.release()) != 0 ? errno : 0;
}

// The replace beside the file: 0, or why not. The temporary has a hidden, unique name beside
// the file, so the rename never crosses file systems, and is made 0644 less the umask, as any
// file this program creates. It is locked while it is written (see
// removeAbandonedTemporaries); one another save took for abandoned before we could lock it, or
// before our rename found it, is given up for a fresh one. Where the file system has no locks,
// nobody can take one either, and the temporary is simply never removed by another save. It
// is closed before the rename, so that whoever watches the folder sees the file written once,
// by the rename, and not also closed after it; the rename itself is then flushed to survive a
// power cut.
int replaceBeside(const Target& target, std::span<const std::uint8_t> bytes)
{
    const int folder = target.folder.get();
    std::random_device random;
    for (int attempt = 0; attempt < kMaxTemporaryNameAttempts; ++attempt) {
        const std::string temporary =
            temporaryName(target.leaf, static_cast<unsigned long>(::getpid()), random());
        UniqueFd fd(
            ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
        if (!fd && errno != EEXIST)
            return errno;
        struct stat info {};
        const bool locked = fd && (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK);
        if (!locked || ::fstat(fd.get(), &info) != 0 || info.st_nlink == 0)
            continue;
        int error = takeOverAttributes(fd.get(), target);
        error = error == 0 ? writeOut(std::move(fd), bytes) : error;
        if (error == 0 && ::renameat(folder, temporary.c_str(), folder, target.leaf.c_str()) == 0) {
            static_cast<void>(
                ::fsync(UniqueFd(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)).get()));
            removeAbandonedTemporaries(folder, target.leaf, bytes.size());
            return 0;
        }
        error = error == 0 ? errno : error;
        ::unlinkat(folder, temporary.c_str(), 0);
        if (error != ENOENT) // ENOENT: another save removed our temporary before the rename
            return error;
    }
    return EEXIST;
}

// The replace of `target`, whose links are already judged: 0, or why it was not written.
int replaceResolved(const Target& target, std::span<const std::uint8_t> bytes)
{
    if (const int refused = target.existing ? writeRefusal(target.folder.get(), target.leaf.c_str()) : 0)
        return refused;
    int error = writeRefusal(target.folder.get(), ".");
    error = error == 0 ? replaceBeside(target, bytes) : error;
    // These errors say this folder or this file will not take a replacement, whatever we
    // retry, though the file itself may still be rewritten (a folder we may not write,
    // another user's file in a sticky folder, a file mounted on its own, attributes a new file
    // cannot carry); a full disk or a failing one says nothing should be written at all.
    const bool notHere =
        error == EACCES || error == EPERM || error == EBUSY || error == EXDEV || error == ENOTSUP;
    if (!notHere || !target.existing)
        return error;
    // The file itself is rewritten: one write of all the bytes from its start, then the end cut
    // there, so a reader at no moment finds it empty. The file keeps its owner, attributes and
    // hard links, and a file mounted on its own stays mounted.
    UniqueFd fd = reopen(target.file.get(), O_WRONLY);
    return fd ? writeOut(std::move(fd), bytes) : errno;
}

} // namespace

std::optional<std::size_t> readFileStart(const fs::path& path, std::span<std::uint8_t> buffer)
{
    // Judged through an O_PATH descriptor, which opens nothing: a device or FIFO is never opened
    // for reading, and the file read is the very one judged.
    const UniqueFd held(::open(path.c_str(), O_PATH | O_CLOEXEC));
    struct stat info {};
    if (!held || ::fstat(held.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    // One read from the start: a regular file gives fewer bytes than asked only where it ends.
    const UniqueFd fd = reopen(held.get(), O_RDONLY);
    const ssize_t got =
        fd ? retryOnInterrupt([&] { return ::pread(fd.get(), buffer.data(), buffer.size(), 0); }) : -1;
    return got < 0 ? std::nullopt : std::optional(static_cast<std::size_t>(got));
}

WriteResult replaceFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes,
                                  const OutsideTarget& outside)
{
    const Target target = walk(path);
    std::string refused = target.refusal;
    if (refused.empty() && !target.linkOwners.empty())
        refused = linkRefusal(target, outside);
    // Only a regular file is ever replaced: not a directory, FIFO or device of that name.
    if (refused.empty() && target.existing && !S_ISREG(target.existing->st_mode))
        refused = "it is not a regular file";
    if (!refused.empty())
        return {path, refused};
    const int error = replaceResolved(target, bytes);
    return {path, error == 0 ? std::string() : std::generic_category().message(error)};
}
