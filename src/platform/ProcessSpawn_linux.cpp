#include "PosixFiles.h"
#include "ProcessSpawn.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

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
// child cut short: such a command starts nothing rather than something else. A relative
// file would be looked for in the folder the child moves to.
bool usable(const Command& command)
{
    return !command.file.empty() && !command.argv.empty() && !holdsNul(command.file) &&
           !holdsNul(command.workingDirectory) && std::ranges::none_of(command.argv, holdsNul) &&
           (command.workingDirectory.empty() || command.file.front() == '/');
}

std::string systemReason(int error)
{
    std::string why = "the system would not run it: " + std::generic_category().message(error);
    // exec says so of a script whose interpreter is missing, too.
    if (error == ENOENT)
        why += " (the interpreter a script names on its first line may be missing)";
    return why;
}

pid_t waitForChild(pid_t pid, int options)
{
    return retryOnInterrupt([pid, options] { return ::waitpid(pid, nullptr, options); });
}

// Where the event loop cannot watch a child, a thread of its own waits for it (for this one
// child, never "any child", so Qt's own children stay Qt's).
void reapOnThread(pid_t pid)
{
    try {
        std::thread([pid] { waitForChild(pid, 0); }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the child is reaped when we exit, as any orphan is.
    }
}

// A pidfd turns readable when its process ends. The child stays unreaped until we reap it,
// so its pid cannot be reused meanwhile and pidfd_open cannot catch a stranger.
class ChildWatch : public QSocketNotifier {
public:
    ChildWatch(int pidfd, pid_t pid, QObject* owner) : QSocketNotifier(pidfd, Read, owner), m_pid(pid)
    {
        connect(this, &QSocketNotifier::activated, this, &ChildWatch::ended);
    }
    ~ChildWatch() override { ::close(static_cast<int>(socket())); }

private:
    void ended()
    {
        setEnabled(false);
        // Should the kernel say so early, a waiting thread finishes the job.
        if (waitForChild(m_pid, WNOHANG) == 0)
            reapOnThread(m_pid);
        deleteLater();
    }

    pid_t m_pid;
};

} // namespace

Spawned spawnDetached(const Launch& launch)
{
    Command command = launch.command;
    if (!usable(command))
        return {0, systemReason(EINVAL)};
    if (command.file.find('/') == std::string::npos)
        command.file = "./" + command.file;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);
    // A session of its own, so the emulator outlives us and our terminal's signals. Signals
    // we ignore or block are not the emulator's business: it starts clean.
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (!command.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, command.workingDirectory.c_str());
    std::vector<char*> argv = pointersTo(command.argv);
    std::vector<char*> environment = pointersTo(launch.environment);
    pid_t pid = -1;
    // The child's exec failing (no such interpreter, not executable, a format the system
    // cannot run) comes back here as the error.
    const int error =
        posix_spawn(&pid, command.file.c_str(), &actions, &attributes, argv.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return error == 0 ? Spawned{pid, {}} : Spawned{0, systemReason(error)};
}

void endProcessGroup(int pid)
{
    // The child leads a session, and so a group, of its own: whatever it has started goes too.
    ::kill(-pid, SIGKILL);
}

void watchChild(int pid, QObject* owner)
{
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0)
        reapOnThread(pid);
    else
        new ChildWatch(pidfd, pid, owner);
}
