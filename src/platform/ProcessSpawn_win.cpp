// Starting a program on Windows: CreateProcessW on the program file itself, no shell and no
// search of PATH, every text in UTF-16, the command line as the command has it or else
// quoted for the C runtime's split.
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

} // namespace

Spawned spawnDetached(const Launch& launch)
{
    const Command& command = launch.command;
    if (command.file.empty() || command.argv.empty() || holdsNul(command.file) ||
        holdsNul(command.workingDirectory) || holdsNul(command.commandLine) ||
        std::ranges::any_of(command.argv, holdsNul))
        return {0, "its command holds a character no command line can carry"};
    // A bare name means the file in our working directory, never one found on PATH.
    std::error_code error;
    const fs::path file = fs::absolute(pathFromUtf8(command.file), error);
    std::optional<std::wstring> line =
        command.commandLine.empty() ? windowsCommandLine(command.argv) : toWide(command.commandLine);
    if (error || !line)
        return {0, "its command holds a character no command line can carry"};
    std::wstring environment = environmentBlock(launch.environment);
    const std::wstring folder = toWide(command.workingDirectory);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW; // 5: a normal visible window, as the shell's open asks for one
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
