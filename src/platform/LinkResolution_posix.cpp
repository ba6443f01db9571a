#include "LinkResolution.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The same bound the kernel puts on a chain of symbolic links.
constexpr int kMaxLinkHops = 40;

// fs.protected_symlinks as the administrator set it; where it cannot be read, it counts as on.
bool linksAreProtected()
{
    const int fd = ::open("/proc/sys/fs/protected_symlinks", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true;
    char value = '1';
    const bool read = ::read(fd, &value, 1) == 1;
    ::close(fd);
    return !read || value != '0';
}

// The kernel's rule: in a sticky, world-writable folder such as /tmp, a link is followed only
// by its owner, or when the folder's owner made it. Anyone else could have planted it there to
// lead our save onto a file of ours that we never meant to touch.
bool kernelWouldFollow(const struct stat& link, const fs::path& folder)
{
    if (link.st_uid == ::geteuid())
        return true;
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return false;
    if ((info.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH) || info.st_uid == link.st_uid)
        return true;
    return !linksAreProtected();
}

// The text of the link held open by `fd`.
std::optional<fs::path> linkText(int fd)
{
    std::string text(PATH_MAX, '\0');
    const ssize_t length = ::readlinkat(fd, "", text.data(), text.size());
    if (length < 0 || static_cast<std::size_t>(length) >= text.size())
        return std::nullopt;
    text.resize(static_cast<std::size_t>(length));
    return fs::path(text);
}

LinkTarget refused(const fs::path& path, int error)
{
    return {path, std::generic_category().message(error)};
}

// A link of another user's may lead us only to a file of that same user, which they could
// write themselves; a link of ours or root's leads wherever it points.
LinkTarget judged(const fs::path& target, const std::vector<uid_t>& linkOwners,
                  std::optional<uid_t> fileOwner)
{
    const bool trusted = std::ranges::all_of(linkOwners, [fileOwner](uid_t owner) {
        return owner == ::geteuid() || owner == 0 || owner == fileOwner;
    });
    if (trusted)
        return {target, {}};
    return {target, "it leads through another user's link to a file that is not theirs"};
}

} // namespace

LinkTarget resolveLinksForWriting(fs::path path)
{
    std::vector<uid_t> linkOwners;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        // The link is held by a descriptor while it is judged, so its owner and its text come
        // from one and the same link even when someone swaps the name in between.
        const int fd = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return errno == ENOENT ? judged(path, linkOwners, std::nullopt) : refused(path, errno);
        struct stat info {};
        const int error = ::fstat(fd, &info) == 0 ? 0 : errno;
        const bool isLink = error == 0 && S_ISLNK(info.st_mode);
        const std::optional<fs::path> target = isLink ? linkText(fd) : std::nullopt;
        ::close(fd);
        if (error != 0)
            return refused(path, error);
        if (!isLink)
            return judged(path, linkOwners, info.st_uid);
        const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
        if (!target)
            return refused(path, EIO);
        if (!kernelWouldFollow(info, folder))
            return {path, "it is another user's link in a shared folder, which the system does not follow"};
        linkOwners.push_back(info.st_uid);
        path = target->is_absolute() ? *target : path.parent_path() / *target;
    }
    return refused(path, ELOOP);
}
