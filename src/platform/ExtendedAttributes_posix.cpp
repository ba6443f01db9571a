#include "ExtendedAttributes.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <optional>
#include <string>
#include <sys/xattr.h>
#include <vector>

namespace {

using Bytes = std::vector<char>;

// Runs a list or get call the usual two-step way: ask the size, then fetch. The attribute may
// grow in between; then the size is asked again. A file system without extended attributes
// answers with nothing to read.
std::optional<Bytes> fetch(const std::function<ssize_t(char*, std::size_t)>& call)
{
    for (;;) {
        const ssize_t size = call(nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP ? std::optional(Bytes()) : std::nullopt;
        Bytes bytes(static_cast<std::size_t>(size));
        const ssize_t got = call(bytes.data(), bytes.size());
        if (got >= 0) {
            bytes.resize(static_cast<std::size_t>(got));
            return bytes;
        }
        if (errno != ERANGE)
            return std::nullopt;
    }
}

// The list comes as names each ended by a zero byte.
std::vector<std::string> namesIn(const Bytes& list)
{
    std::vector<std::string> names;
    for (std::size_t at = 0; at < list.size();) {
        names.emplace_back(list.data() + at);
        at += names.back().size() + 1;
    }
    return names;
}

// An attribute the system would not let us set (an SELinux label, say) still counts as
// carried when the new file already has that very value.
bool give(int to, const std::string& name, const Bytes& value)
{
    if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) == 0)
        return true;
    const std::optional<Bytes> has = fetch(
        [to, &name](char* buffer, std::size_t size) { return ::fgetxattr(to, name.c_str(), buffer, size); });
    return has && *has == value;
}

} // namespace

bool copyExtendedAttributes(int fromFd, int to)
{
    // A descriptor opened with O_PATH takes no f*xattr() call; its /proc name leads to the
    // very file it holds, whatever has taken the file's own name since.
    const std::string from = "/proc/self/fd/" + std::to_string(fromFd);
    const std::optional<Bytes> wanted =
        fetch([&from](char* buffer, std::size_t size) { return ::listxattr(from.c_str(), buffer, size); });
    const std::optional<Bytes> present =
        fetch([to](char* buffer, std::size_t size) { return ::flistxattr(to, buffer, size); });
    if (!wanted || !present)
        return false;
    const std::vector<std::string> names = namesIn(*wanted);
    for (const std::string& name : names) {
        const std::optional<Bytes> value = fetch([&from, &name](char* buffer, std::size_t size) {
            return ::getxattr(from.c_str(), name.c_str(), buffer, size);
        });
        if (!value || !give(to, name, *value))
            return false;
    }
    // A new file takes the folder's default ACL; the file it replaces may have had none, and
    // its permission bits must mean again what they meant.
    for (const std::string& name : namesIn(*present))
        if (std::find(names.begin(), names.end(), name) == names.end())
            static_cast<void>(::fremovexattr(to, name.c_str()));
    return true;
}
