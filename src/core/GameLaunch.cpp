#include "GameLaunch.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr char kBlank = ' ';
constexpr std::string_view kNeoRageProgram = "neorage.exe";

// The emulator cannot take blanks inside the game's directory or file name, so they are dropped.
std::string withoutBlanks(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    std::copy_if(text.begin(), text.end(), std::back_inserter(result), [](char c) { return c != kBlank; });
    return result;
}

} // namespace

std::optional<GamePath> splitGamePath(std::string_view path, char separator)
{
    const std::size_t last = path.rfind(separator);
    if (last == std::string_view::npos || last == 0)
        return std::nullopt;
    const std::size_t before = path.rfind(separator, last - 1);
    if (before == std::string_view::npos)
        return std::nullopt;
    return GamePath{
        .emulatorDirectory = std::string(path.substr(0, before)),
        .gameDirectory = std::string(path.substr(before + 1, last - before - 1)),
        .gameFile = std::string(path.substr(last + 1)),
    };
}

NeoRageLaunch composeNeoRageLaunch(const GamePath& path, const OptionsRecord& options, char separator)
{
    NeoRageLaunch launch;
    launch.directoryCaption = withoutBlanks(path.gameDirectory);
    const std::string emulatorDirectory = path.emulatorDirectory + separator;

    launch.parameters =
        emulatorDirectory + launch.directoryCaption + kBlank + withoutBlanks(path.gameFile) + kBlank;
    // Only a field of exactly 1 is "on"; any other byte from a foreign file adds nothing.
    if (options.NoScanlines == 1)
        launch.parameters += "-n ";
    if (options.VgaMode == 1)
        launch.parameters += "-vga ";
    if (options.EnableVsync == 1)
        launch.parameters += "-v ";
    if (options.FrameSkip == 1)
        launch.parameters += "-f ";

    launch.programPath = emulatorDirectory + std::string(kNeoRageProgram);
    return launch;
}

std::vector<std::string> splitParameters(std::string_view parameters)
{
    std::vector<std::string> arguments;
    std::size_t start = parameters.find_first_not_of(kBlank);
    while (start != std::string_view::npos) {
        const std::size_t end = std::min(parameters.find(kBlank, start), parameters.size());
        arguments.emplace_back(parameters.substr(start, end - start));
        start = parameters.find_first_not_of(kBlank, end);
    }
    return arguments;
}
