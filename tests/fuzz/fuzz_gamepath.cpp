// Feeds arbitrary paths and switch bytes to the game path split, the launch composition and the
// argument split. Input: one byte picking the separator, one byte of switches (two bits each,
// so values 0..3), then the path.
#include "GameLaunch.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

std::string withoutBlanks(std::string_view text)
{
    std::string result;
    for (const char c : text)
        if (c != ' ')
            result += c;
    return result;
}

void checkArguments(std::string_view parameters)
{
    const std::vector<std::string> arguments = splitParameters(parameters);
    std::string joined;
    for (const std::string& argument : arguments) {
        require(!argument.empty(), "no empty argument");
        require(argument.find(' ') == std::string::npos, "no argument holds a blank");
        joined += argument;
    }
    require(joined == withoutBlanks(parameters), "the arguments are the text without its blanks");
}

std::string expectedSwitches(const OptionsRecord& options)
{
    std::string switches;
    switches += options.NoScanlines == 1 ? "-n " : "";
    switches += options.VgaMode == 1 ? "-vga " : "";
    switches += options.EnableVsync == 1 ? "-v " : "";
    switches += options.FrameSkip == 1 ? "-f " : "";
    return switches;
}

void checkLaunch(const GamePath& path, const OptionsRecord& options, char separator)
{
    const NeoRageLaunch launch = composeNeoRageLaunch(path, options, separator);
    const std::string emulatorDirectory = path.emulatorDirectory + separator;
    require(launch.programPath == emulatorDirectory + "neorage.exe",
            "program sits in the emulator directory");
    require(launch.directoryCaption == withoutBlanks(path.gameDirectory),
            "caption is the directory, no blanks");
    require(launch.parameters.starts_with(emulatorDirectory), "parameters start with the emulator directory");

    // After the emulator directory: caption, one blank, file name, one blank, switches; the first
    // two carry none of the blanks they had, so exactly two blanks come before the switches.
    const std::string_view rest = std::string_view(launch.parameters).substr(emulatorDirectory.size());
    const std::string file = withoutBlanks(path.gameFile);
    const std::string head = launch.directoryCaption + ' ' + file + ' ';
    require(std::count(head.begin(), head.end(), ' ') == 2, "blanks removed from directory and file name");
    require(rest == head + expectedSwitches(options), "switches follow the file name in their fixed order");
    checkArguments(launch.parameters);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const char separator = (data[0] & 1) != 0 ? '/' : '\\';
    OptionsRecord options;
    options.NoScanlines = data[1] & 3;
    options.EnableVsync = (data[1] >> 2) & 3;
    options.VgaMode = (data[1] >> 4) & 3;
    options.FrameSkip = (data[1] >> 6) & 3;
    const std::string_view chosen(reinterpret_cast<const char*>(data + 2), size - 2);

    checkArguments(chosen);
    const std::optional<GamePath> path = splitGamePath(chosen, separator);
    const auto separators = std::count(chosen.begin(), chosen.end(), separator);
    require(path.has_value() == (separators >= 2), "a path splits when it holds two separators");
    if (!path)
        return 0;
    require(path->emulatorDirectory + separator + path->gameDirectory + separator + path->gameFile == chosen,
            "the three parts put together give the path back");
    require(path->gameDirectory.find(separator) == std::string::npos &&
                path->gameFile.find(separator) == std::string::npos,
            "the cut is at the last two separators");
    checkLaunch(*path, options, separator);
    return 0;
}
