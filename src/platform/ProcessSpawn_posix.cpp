#include "ProcessSpawn.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>

extern char** environ;

namespace {

std::vector<char*> pointersTo(const std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (const std::string& text : texts)
        pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

bool holdsNul(const std::string& text)
{
    return text.find('\0') != std::string::npos;
}

// A C string cannot carry a NUL byte, so a name or an argument holding one would reach the
// child cut short: such a command starts nothing rather than something else.
std::optional<Command> checked(Command command)
{
    if (command.file.empty() || command.argv.empty() || holdsNul(command.file) ||
        holdsNul(command.workingDirectory) || std::ranges::any_of(command.argv, holdsNul))
        return std::nullopt;
    if (command.file.find('/') == std::string::npos)
        command.file = "./" + command.file;
    // A relative file would be looked for in the folder the child moves to.
    if (!command.workingDirectory.empty() && command.file.front() != '/')
        return std::nullopt;
    return command;
}

class SpawnSetup {
public:
    SpawnSetup()
    {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
        // A session of its own, so the emulator outlives us and our terminal's signals.
        // Signals we ignore or block are not the emulator's business: it starts clean.
        posix_spawnattr_setflags(&attributes,
                                 POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
};

} // namespace

std::vector<std::string> currentEnvironment()
{
    std::vector<std::string> copy;
    for (char** entry = environ; entry && *entry; ++entry)
        copy.emplace_back(*entry);
    return copy;
}

int spawnDetached(const Launch& launch)
{
    const std::optional<Command> command = checked(launch.command);
    if (!command)
        return -EINVAL;
    std::vector<char*> argv = pointersTo(command->argv);
    std::vector<char*> environment = pointersTo(launch.environment);
    SpawnSetup setup;
    if (!command->workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&setup.actions, command->workingDirectory.c_str());
    pid_t pid = -1;
    // The child's exec failing (no such interpreter, not executable, a format the system
    // cannot run) comes back here as the error.
    const int error = posix_spawn(&pid, command->file.c_str(), &setup.actions, &setup.attributes, argv.data(),
                                  environment.data());
    return error == 0 ? pid : -error;
}

pid_t waitForChild(pid_t pid, int options)
{
    pid_t result;
    do {
        result = ::waitpid(pid, nullptr, options);
    } while (result < 0 && errno == EINTR);
    return result;
}

void reapInBackground(pid_t pid, std::shared_ptr<std::atomic<int>> unreaped)
{
    try {
        std::thread([pid, unreaped] {
            waitForChild(pid, 0);
            --*unreaped;
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the child is reaped when we exit, as any orphan is.
    }
}
