#include "ProgramStart.h"

#include "ForeignNames.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr std::size_t kHeaderOffsetField = 0x3C;

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view text)
{
    return bytes.size() >= text.size() &&
           std::equal(text.begin(), text.end(), bytes.begin(),
                      [](char c, std::uint8_t byte) { return static_cast<std::uint8_t>(c) == byte; });
}

bool isWindowsHeader(std::span<const std::uint8_t> bytes)
{
    return startsWith(bytes, std::string_view("PE\0\0", 4)) || startsWith(bytes, "NE");
}

std::string joined(std::string text, const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments)
        text.append(" ").append(argument);
    return text;
}

std::optional<Command> dosboxCommand(const ProgramStart& start, const std::vector<std::string>& arguments)
{
    if (!isDosName(start.nameAsSeen) || !std::ranges::all_of(arguments, isDosCommandText))
        return std::nullopt;
    const std::string program = start.folderAsSeen + start.separator + start.nameAsSeen;
    // DOSBox runs in the program's folder and mounts "." as C:, so the folder's own path,
    // which may hold any character at all, never reaches DOSBox's command interpreter. A C:
    // mounted by the user's own configuration is let go first; "exit" closes DOSBox when the
    // program ends instead of leaving a DOS prompt.
    return Command{
        .file = start.runner,
        .argv = {"dosbox", "-c", "mount -u c", "-c", "mount c .", "-c", "c:", "-c",
                 joined(program, arguments), "-c", "exit"},
        .workingDirectory = start.folder,
    };
}

} // namespace

std::optional<std::uint32_t> newHeaderOffset(std::span<const std::uint8_t> head)
{
    if (!startsWith(head, "MZ") || head.size() < kHeaderOffsetField + 4)
        return std::nullopt;
    std::uint32_t offset = 0;
    for (std::size_t i = 0; i < 4; ++i)
        offset |= static_cast<std::uint32_t>(head[kHeaderOffsetField + i]) << (8 * i);
    return offset;
}

ProgramKind programKind(std::span<const std::uint8_t> head, std::span<const std::uint8_t> atHeaderOffset,
                        bool runnable)
{
    if (!startsWith(head, "MZ"))
        return runnable ? ProgramKind::Native : ProgramKind::NotAProgram;
    return newHeaderOffset(head) && isWindowsHeader(atHeaderOffset) ? ProgramKind::Windows : ProgramKind::Dos;
}

std::optional<Command> commandFor(const ProgramStart& start, const std::vector<std::string>& arguments)
{
    switch (start.kind) {
    case ProgramKind::Native: {
        Command command{.file = start.program, .argv = {start.program}, .workingDirectory = {}};
        command.argv.insert(command.argv.end(), arguments.begin(), arguments.end());
        return command;
    }
    case ProgramKind::Windows: {
        Command command{.file = start.runner,
                        .argv = {"wine", start.folderAsSeen + start.separator + start.nameAsSeen},
                        .workingDirectory = {}};
        command.argv.insert(command.argv.end(), arguments.begin(), arguments.end());
        return command;
    }
    case ProgramKind::Dos:
        return dosboxCommand(start, arguments);
    case ProgramKind::NotAProgram:
        break;
    }
    return std::nullopt;
}
