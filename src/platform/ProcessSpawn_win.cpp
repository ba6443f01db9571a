// Starting a program on Windows: CreateProcessW on the program file itself, no shell and no
// search of PATH, every text in UTF-16, the command line quoted for the C runtime's split.
// The process handle is the program's: the exit is watched by it.
#include "ProcessSpawn.h"
#include "WindowsPrograms.h"
#include "WindowsText.h"

#include <QObject>
#include <QWinEventNotifier>

#include <algorithm>
#include <map>
#include <mutex>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

// The handles of the processes created and not yet watched, by process id.
std::mutex createdMutex;
std::map<int, HANDLE> created;

bool holdsNul(const std::string& text)
{
    return text.find('\0') != std::string::npos;
}

// The environment block: each "NAME=value" ended by a NUL, and one more NUL at the end.
std::wstring environmentBlock(const std::vector<std::string>& environment)
{
    std::wstring block;
    for (const std::string& variable : environment)
        if (!variable.empty() && !holdsNul(variable))
            block.append(toWide(variable)).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

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

std::vector<std::string> windowsArguments(const Command& command)
{
    std::vector<std::string> words = command.argv;
    if (words.empty() || words.front() != "dosbox")
        return words;
    for (std::size_t i = 1; i + 1 < words.size(); ++i)
        if (words[i] == "-conf" && words[i + 1] == "/dev/null")
            words[i + 1] = "NUL";
    words.insert(words.begin() + 1, "-noconsole");
    return words;
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

Spawned spawnDetached(const Launch& launch)
{
    const Command& command = launch.command;
    if (command.file.empty() || command.argv.empty() || holdsNul(command.file) ||
        holdsNul(command.workingDirectory) || std::ranges::any_of(command.argv, holdsNul))
        return {0, "its command holds a character no command line can carry"};
    // A bare name means the file in our working directory, never one found on PATH.
    std::error_code error;
    const fs::path file = fs::absolute(pathFromUtf8(command.file), error);
    std::optional<std::wstring> line = windowsCommandLine(windowsArguments(command));
    if (error || !line)
        return {0, "its command holds a character no command line can carry"};
    std::wstring environment = environmentBlock(launch.environment);
    const std::wstring folder = toWide(command.workingDirectory);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    // Detached: no console of ours, a process group of its own, and no handle of ours.
    const DWORD flags =
        CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP | DETACHED_PROCESS | CREATE_DEFAULT_ERROR_MODE;
    if (!::CreateProcessW(file.c_str(), line->data(), nullptr, nullptr, FALSE, flags,
                          launch.environment.empty() ? nullptr : environment.data(),
                          folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return {0, "the system would not run it: " + systemReason(::GetLastError())};
    ::CloseHandle(process.hThread);
    const int pid = static_cast<int>(process.dwProcessId);
    const std::lock_guard lock(createdMutex);
    created[pid] = process.hProcess;
    return {pid, {}};
}

void endProcessGroup(int pid)
{
    const std::lock_guard lock(createdMutex);
    if (const auto found = created.find(pid); found != created.end())
        ::TerminateProcess(found->second, 1);
}

void watchChild(int pid, QObject* owner)
{
    HANDLE process = nullptr;
    {
        const std::lock_guard lock(createdMutex);
        const auto found = created.find(pid);
        if (found == created.end())
            return;
        process = found->second;
        created.erase(found);
    }
    // The handle is let go when the program ends, or with the owner; the program runs on.
    auto* notifier = new QWinEventNotifier(process, owner);
    QObject::connect(notifier, &QWinEventNotifier::activated, notifier, &QObject::deleteLater);
    QObject::connect(notifier, &QObject::destroyed, [process] { ::CloseHandle(process); });
}
