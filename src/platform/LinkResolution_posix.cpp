#include "LinkResolution.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The same bound the kernel puts on a chain of symbolic links; a name swapped while we look
// at it counts as one more step, so a swap loop cannot keep us here.
constexpr int kMaxLinkHops = 40;
// How far up from the end we look for the folder the chain started in.
constexpr int kMaxFolderDepth = 256;

// fs.protected_symlinks as the administrator set it; where it cannot be read, it counts as on.
bool linksAreProtected()
{
    const UniqueFd fd(::open("/proc/sys/fs/protected_symlinks", O_RDONLY | O_CLOEXEC));
    char value = '1';
    return !fd || ::read(fd.get(), &value, 1) != 1 || value != '0';
}

// The kernel's rule: in a sticky, world-writable folder such as /tmp, a link is followed only
// by its owner, or when the folder's owner made it. Anyone else could have planted it there to
// lead our save onto a file of ours that we never meant to touch.
bool kernelWouldFollow(const struct stat& link, const struct stat& folder)
{
    if (link.st_uid == ::geteuid())
        return true;
    if ((folder.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH) || folder.st_uid == link.st_uid)
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

// True when the folder held by `inner` is the folder `outer` or lies somewhere below it.
bool liesWithin(int inner, const struct stat& outer)
{
    UniqueFd at(::openat(inner, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (int depth = 0; at && depth < kMaxFolderDepth; ++depth) {
        struct stat info {};
        struct stat above {};
        UniqueFd up(::openat(at.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (::fstat(at.get(), &info) != 0 || sameFile(info, outer))
            return sameFile(info, outer);
        if (!up || ::fstat(up.get(), &above) != 0 || sameFile(above, info))
            return false;
        at = std::move(up);
    }
    return false;
}

// Walks the names of a path from a held folder; see resolveLinksForWriting().
class Walk {
public:
    explicit Walk(const fs::path& path)
    {
        const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
        std::error_code ignored;
        m_shownFolder = fs::absolute(folder, ignored);
        m_end.folder.reset(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!m_end.folder || ::fstat(m_end.folder.get(), &m_start) != 0)
            fail(errno);
        m_rest.push_back(path.filename().string());
    }

    LinkTarget run()
    {
        while (m_end.refusal.empty() && !m_rest.empty()) {
            std::string name = std::move(m_rest.front());
            m_rest.pop_front();
            step(name);
        }
        m_end.shown = (m_shownFolder / m_end.leaf).lexically_normal();
        if (m_end.refusal.empty())
            judge();
        return std::move(m_end);
    }

private:
    void fail(int error) { m_end.refusal = std::generic_category().message(error); }

    void step(const std::string& name)
    {
        const bool last = m_rest.empty();
        if (name.empty() || name == ".")
            return last ? fail(EISDIR) : void();
        if (name == "..")
            return last ? fail(EISDIR) : enter("..");
        struct stat info {};
        if (::fstatat(m_end.folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT && last)
                m_end.leaf = name;
            else
                fail(errno);
            return;
        }
        if (S_ISLNK(info.st_mode))
            return follow(name);
        if (last) {
            m_end.leaf = name;
            m_end.existing = info;
            return;
        }
        enter(name);
    }

    // Steps into the folder `name`; a name that turned into a link meanwhile is looked at again.
    void enter(const std::string& name)
    {
        UniqueFd next(
            ::openat(m_end.folder.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next && (errno == ENOTDIR || errno == ELOOP) && name != "..")
            return lookAgain(name);
        if (!next)
            return fail(errno);
        m_end.folder = std::move(next);
        m_shownFolder /= name;
    }

    void lookAgain(const std::string& name)
    {
        if (++m_hops > kMaxLinkHops)
            return fail(ELOOP);
        m_rest.push_front(name);
    }

    // The link is held by a descriptor while it is judged, so its owner and its text come from
    // one and the same link even when someone swaps the name in between.
    void follow(const std::string& name)
    {
        if (++m_hops > kMaxLinkHops)
            return fail(ELOOP);
        const UniqueFd link(::openat(m_end.folder.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat info {};
        struct stat folder {};
        if (!link || ::fstat(link.get(), &info) != 0 || ::fstat(m_end.folder.get(), &folder) != 0)
            return fail(errno);
        if (!S_ISLNK(info.st_mode))
            return m_rest.push_front(name);
        const std::optional<fs::path> text = linkText(link.get());
        if (!text)
            return fail(EIO);
        if (!kernelWouldFollow(info, folder)) {
            m_end.refusal = "it is another user's link in a shared folder, which the system does not follow";
            return;
        }
        m_linkOwners.push_back(info.st_uid);
        if (text->is_absolute()) {
            m_end.folder.reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
            m_shownFolder = "/";
        }
        std::vector<std::string> names;
        for (const fs::path& part : text->relative_path())
            names.push_back(part.string());
        if (names.empty())
            names.emplace_back(); // the root itself, a folder
        m_rest.insert(m_rest.begin(), names.begin(), names.end());
    }

    // A link of another user's may lead us only to a file of that same user, which they could
    // write themselves; a link of ours or root's leads wherever it points.
    void judge()
    {
        const std::optional<uid_t> fileOwner =
            m_end.existing ? std::optional(m_end.existing->st_uid) : std::nullopt;
        const bool trusted = std::ranges::all_of(m_linkOwners, [fileOwner](uid_t owner) {
            return owner == ::geteuid() || owner == 0 || owner == fileOwner;
        });
        if (!trusted)
            m_end.refusal = "it leads through another user's link to a file that is not theirs";
        m_end.outside = !m_linkOwners.empty() && !liesWithin(m_end.folder.get(), m_start);
    }

    LinkTarget m_end;
    struct stat m_start {};
    fs::path m_shownFolder;
    std::deque<std::string> m_rest;
    std::vector<uid_t> m_linkOwners;
    int m_hops = 0;
};

} // namespace

LinkTarget resolveLinksForWriting(const fs::path& path)
{
    Walk walk(path);
    return walk.run();
}
