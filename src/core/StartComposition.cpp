#include "StartComposition.h"

#include "AsciiCase.h"

#include <algorithm>
#include <optional>

namespace {

StartRefusal refused(const FoundProgram& found, std::string_view why)
{
    return StartRefusal{cannotStart(found.folder, found.name, why)};
}

// "A", "A and B", "A, B and C".
std::string listed(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text.append(i == 0 ? "" : i + 1 == names.size() ? " and " : ", ").append(names[i]);
    return text;
}

// The parameter text and the caption, with the emulator directory as the emulator names it.
PlannedStart withTexts(const FoundProgram& found, const StartRequest& request, std::string emulatorDirectory,
                       char separator)
{
    PlannedStart plan{
        .command = {}, .parameters = {}, .directoryCaption = {}, .folder = found.folder, .name = found.name};
    if (request.game) {
        GamePath seen = *request.game;
        seen.emulatorDirectory = std::move(emulatorDirectory);
        const NeoRageLaunch launch = composeNeoRageLaunch(seen, request.options, separator);
        plan.parameters = launch.parameters;
        plan.directoryCaption = launch.directoryCaption;
    }
    return plan;
}

// `first` and then the parameter text's words.
std::vector<std::string> argumentsAfter(std::vector<std::string> first, const std::string& parameters)
{
    for (std::string& word : splitParameters(parameters))
        first.push_back(std::move(word));
    return first;
}

ComposedStart directly(const FoundProgram& found, const StartRequest& request)
{
    PlannedStart plan = withTexts(
        found, request, request.game ? request.game->emulatorDirectory : std::string(), request.separator);
    plan.command = {.file = found.program,
                    .argv = argumentsAfter({found.program}, plan.parameters),
                    .workingDirectory = {}};
    return plan;
}

// Wine refuses a prefix it cannot use, or silently takes another in its place.
std::optional<StartRefusal> refusedByWinePrefix(const FoundProgram& found)
{
    const std::string prefix = "the Wine prefix \"" + found.winePrefix + "\"";
    switch (found.winePrefixState) {
    case WinePrefixState::Usable:
        return std::nullopt;
    case WinePrefixState::Relative:
        return refused(found,
                       prefix + " (WINEPREFIX) is a relative path, and Wine takes only an absolute one");
    case WinePrefixState::NotAFolder:
        return refused(found, prefix + " is not a folder");
    case WinePrefixState::Unreadable:
        return refused(found, prefix + " cannot be read");
    case WinePrefixState::NoHome:
        break;
    }
    return refused(found, "WINEPREFIX is not set, and there is no home folder to keep a Wine prefix in");
}

ComposedStart throughWine(const FoundProgram& found, const StartRequest& request)
{
    if (found.runner.empty())
        return refused(found, "it is a Windows program, and Windows programs run through Wine, which is not "
                              "installed (Debian package \"wine\")");
    if (std::optional<StartRefusal> refusal = refusedByWinePrefix(found))
        return *refusal;
    const std::optional<std::string> folder = windowsPathFor(found.folder, found.wineDrives);
    if (!folder)
        return refused(found, found.folder.find('\\') != std::string::npos
                                  ? "its folder's path holds a \"\\\", and no Windows path can hold one"
                                  : "Wine has no drive for its folder (winecfg can add one)");
    PlannedStart plan = withTexts(found, request, *folder, '\\');
    plan.command = {.file = found.runner,
                    .argv = argumentsAfter({"wine", *folder + '\\' + found.name}, plan.parameters),
                    .workingDirectory = {}};
    return plan;
}

std::optional<StartRefusal> refusedByDos(const FoundProgram& found, const StartRequest& request)
{
    if (found.runner.empty())
        return refused(found, "it is a DOS program, and DOS programs run through DOSBox, which is not "
                              "installed (Debian package \"dosbox\")");
    if (found.spellings.size() > 1)
        return refused(found, "its folder holds " + listed(found.spellings) +
                                  ", which DOS cannot tell apart (keep one of them)");
    if (!isDosName(upperAscii(found.name)))
        return refused(found, "DOS cannot use its name");
    for (const std::string* name : request.game
                                       ? std::vector{&request.game->gameDirectory, &request.game->gameFile}
                                       : std::vector<const std::string*>{}) {
        if (isDosDeviceName(*name))
            return StartRefusal{
                "DOS cannot use the name \"" + *name +
                "\": DOS takes it for a device, not a file. Rename the game's folder and file "
                "to suit."};
        if (!isDosName(*name))
            return StartRefusal{"DOS cannot use the name \"" + *name +
                                "\": DOS names have 1 to 8 characters, then optionally a dot and 1 to 3 "
                                "more, each a letter, a digit or one of " +
                                std::string(kDosNameMarks) +
                                " (no blanks). Rename the game's folder and file to suit."};
    }
    if (!found.folderEnterable)
        return refused(found, "DOSBox cannot mount its folder, which may not be entered");
    return std::nullopt;
}

// The first character DOSBox for Windows cannot hand on as it is, or none. SDL 1.2 splits its
// command line: at white space, or from a quote to the next quote with no "\" before it, so a
// word in quotes may not end in "\"; it reads the line through the ANSI code page, which only
// ASCII survives everywhere; and DOSBox makes a quote of every "'" in a -c text. So a word goes
// bare, or in quotes where it holds a blank or is empty, and never holds a quote.
std::optional<char> uncarriedByWindowsDosbox(const std::vector<std::string>& argv)
{
    for (const std::string& word : argv) {
        for (const char c : word)
            if (c < ' ' || c > '~' || c == '"' || c == '\'')
                return c;
        if (word.find(' ') != std::string::npos && word.ends_with('\\'))
            return '\\';
    }
    return std::nullopt;
}

std::string windowsDosboxLine(const std::vector<std::string>& argv)
{
    std::string line;
    for (const std::string& word : argv) {
        line.append(line.empty() ? "" : " ");
        const bool quoted = word.empty() || word.find(' ') != std::string::npos;
        line.append(quoted ? "\"" : "").append(word).append(quoted ? "\"" : "");
    }
    return line;
}

// Why the DOS command line `dos` cannot be handed to DOSBox for Windows, naming `c`.
std::string uncarriedReason(char c, const std::string& dos)
{
    std::string why("DOSBox for Windows cannot hand ");
    if (c < ' ' || c > '~')
        why.append("a character outside ASCII");
    else
        why.append("\"").append(1, c).append("\"");
    why.append(" on to the DOS program in \"").append(dos).append("\"");
    if (c == '\'')
        why.append(" (it makes a quote of every \"'\")");
    return why.append("; rename the game's folder and file without it");
}

ComposedStart throughDosbox(const FoundProgram& found, const StartRequest& request)
{
    if (std::optional<StartRefusal> refusal = refusedByDos(found, request))
        return *refusal;
    PlannedStart plan = withTexts(found, request, "C:", '\\');
    std::string commandLine = "C:\\" + upperAscii(found.name);
    for (const std::string& word : splitParameters(plan.parameters))
        commandLine.append(" ").append(word);
    const bool windows = found.system == HostSystem::Windows;
    // Only the user's own configuration is read: DOSBox would otherwise take a dosbox.conf
    // from the emulator folder, where an old archive may have left one whose [autoexec]
    // reaches outside it. Where the user's own file can be neither read nor made, the empty
    // one still stands in the folder's way. DOSBox runs in the folder and mounts "." as C:,
    // so the folder's own path, which may hold any character, never reaches its command
    // interpreter; a C: mounted by the user's configuration is let go first, and "exit"
    // closes DOSBox when the program ends instead of leaving a DOS prompt (DOSBox runs at
    // most 11 -c options).
    // Without a home DOSBox would look for the user's file in a folder named "~" in its own.
    std::vector<std::string> argv{"dosbox", "-userconf",  "-conf", windows ? "NUL" : "/dev/null",
                                  "-c",     "mount -u c", "-c",    "mount c .",
                                  "-c",     "c:",         "-c",    commandLine,
                                  "-c",     "exit"};
    if (found.home.empty())
        argv.erase(argv.begin() + 1);
    plan.command = {.file = found.runner, .argv = {}, .workingDirectory = found.folder};
    if (windows) {
        // A console window of its own would open beside DOSBox's.
        argv.insert(argv.begin() + 1, "-noconsole");
        if (const std::optional<char> c = uncarriedByWindowsDosbox(argv))
            return refused(found, uncarriedReason(*c, commandLine));
        plan.command.commandLine = windowsDosboxLine(argv);
    }
    plan.command.argv = std::move(argv);
    return plan;
}

} // namespace

StartRequest neoRageRequest(const GamePath& game, const OptionsRecord& options, char separator)
{
    return StartRequest{
        .folder = game.emulatorDirectory.empty() ? std::string(1, separator) : game.emulatorDirectory,
        .name = std::string(kNeoRageProgram),
        .game = game,
        .options = options,
        .separator = separator,
        .readOptions = {},
    };
}

StartRequest neoGeoRequest()
{
    return StartRequest{.folder = ".",
                        .name = std::string(kNeoGeoProgram),
                        .game = std::nullopt,
                        .options = {},
                        .separator = '/',
                        .readOptions = {}};
}

ComposedStart composeStart(const FoundProgram& found, const StartRequest& request)
{
    switch (found.kind) {
    case ProgramKind::Native:
        return directly(found, request);
    case ProgramKind::Windows:
        return throughWine(found, request);
    case ProgramKind::Dos:
        return throughDosbox(found, request);
    case ProgramKind::NotAProgram:
        break;
    }
    return refused(found, "it is neither a Windows or DOS program nor an executable file");
}

std::string cannotStart(std::string_view folder, std::string_view name, std::string_view why)
{
    std::string text("Cannot start ");
    text.append(name).append(" in ").append(folder).append(": ").append(why).append(".");
    return text;
}
