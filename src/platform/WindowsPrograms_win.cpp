// The Windows rules of a start, apart from starting: the folder as Windows names it, where
// DOSBox for Windows is, and the command line the C runtime splits into the words meant.
#include "AsciiCase.h"
#include "EmulatorPrograms.h"
#include "FileLookup.h"
#include "WindowsPrograms.h"
#include "WindowsText.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDosbox = "DOSBox.exe";
constexpr std::string_view kDosboxFolders = "DOSBox-0.74";

void appendQuoted(std::string& line, const std::string& word)
{
    if (!word.empty() && word.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += word;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (const char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows them: then each is doubled.
        line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
}

} // namespace

std::string windowsFolder(const std::string& folder)
{
    std::wstring text = toWide(folder);
    std::ranges::replace(text, L'/', L'\\');
    if (text.size() == 2 && text[1] == L':')
        text += L'\\';
    std::error_code error;
    fs::path absolute = fs::absolute(fs::path(text), error);
    if (error)
        absolute = fs::path(text);
    std::wstring plain = absolute.lexically_normal().native();
    const std::size_t rootLength = absolute.root_path().native().size();
    while (plain.size() > rootLength && plain.ends_with(L'\\'))
        plain.pop_back();
    return fromWide(plain);
}

std::optional<std::string> findDosbox(std::string_view path, const std::vector<fs::path>& programFolders)
{
    if (std::optional<std::string> onPath = findOnPath(kDosbox, path))
        return onPath;
    std::vector<fs::path> installed;
    for (const fs::path& folder : programFolders)
        for (const std::string& name : folderNames(folder, [](std::string_view leaf) {
                                           return startsWithIgnoringCase(leaf, kDosboxFolders);
                                       }).value_or(std::vector<std::string>()))
            installed.push_back(folder / pathFromUtf8(name));
    // "DOSBox-0.74-3" before "DOSBox-0.74-2" before "DOSBox-0.74".
    std::ranges::sort(installed,
                      [](const fs::path& a, const fs::path& b) { return a.filename() > b.filename(); });
    for (const fs::path& folder : installed)
        if (std::optional<fs::path> program = findFileIgnoringCase(folder, kDosbox))
            return utf8Path(*program);
    return std::nullopt;
}

std::optional<std::wstring> windowsCommandLine(const std::vector<std::string>& argv)
{
    if (argv.empty() || argv.front().find('"') != std::string::npos)
        return std::nullopt;
    const std::string& program = argv.front();
    std::string line =
        program.empty() || program.find_first_of(" \t") != std::string::npos ? '"' + program + '"' : program;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        line += ' ';
        appendQuoted(line, argv[i]);
    }
    return toWide(line);
}
