#include "ForeignNames.h"

#include "AsciiCase.h"

#include <algorithm>
#include <string>

namespace {

bool isDosNameCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           kDosNameMarks.find(c) != std::string_view::npos;
}

bool isDosNamePart(std::string_view part, std::size_t longest)
{
    return !part.empty() && part.size() <= longest && std::ranges::all_of(part, isDosNameCharacter);
}

// Does `root` hold `path`, on whole folder names?
bool holds(std::string_view root, std::string_view path)
{
    if (root == "/")
        return path.starts_with('/');
    return path.starts_with(root) && (path.size() == root.size() || path[root.size()] == '/');
}

} // namespace

bool isDosName(std::string_view name)
{
    const std::size_t dot = name.find('.');
    if (isDosDeviceName(name))
        return false;
    if (dot == std::string_view::npos)
        return isDosNamePart(name, 8);
    return isDosNamePart(name.substr(0, dot), 8) && isDosNamePart(name.substr(dot + 1), 3);
}

bool isDosDeviceName(std::string_view name)
{
    std::string base(name.substr(0, name.find('.')));
    std::ranges::transform(base, base.begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
    const bool numbered = base.size() == 4 && base[3] >= '1' && base[3] <= '9' &&
                          (base.starts_with("COM") || base.starts_with("LPT"));
    return numbered || base == "CON" || base == "NUL" || base == "AUX" || base == "PRN";
}

std::optional<std::string> windowsPathFor(std::string_view hostPath, const std::vector<WineDrive>& drives)
{
    const WineDrive* closest = nullptr;
    for (const WineDrive& drive : drives)
        if (holds(drive.root, hostPath) && (!closest || drive.root.size() > closest->root.size()))
            closest = &drive;
    if (!closest)
        return std::nullopt;
    std::string_view rest = hostPath.substr(closest->root == "/" ? 0 : closest->root.size());
    if (rest.find('\\') != std::string_view::npos)
        return std::nullopt;
    while (rest.ends_with('/'))
        rest.remove_suffix(1);
    std::string path{upperAscii(closest->letter), ':'};
    for (const char c : rest)
        path += c == '/' ? '\\' : c;
    return path;
}
