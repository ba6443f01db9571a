// Creating a process for a command without a shell, detached from us, and reaping it.
#pragma once

#include "ProgramStart.h"

#include <atomic>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

// What is executed: the command, and the environment as it stood when the start was asked for.
struct Launch {
    Command command;
    std::vector<std::string> environment;
};

// Our environment as it is now. Copied on the asking thread: the creating thread must not
// read it while the program may be changing it.
std::vector<std::string> currentEnvironment();

// Creates the process: a session of its own, signals at their defaults and none blocked, only
// stdin, stdout and stderr inherited, in the command's working directory (ours when it names
// none). A file name without "/" is taken from the working directory, never from PATH. Its
// pid, or minus the system's error number (EINVAL for a command holding a NUL byte or a
// relative file with a working directory of its own).
int spawnDetached(const Launch& launch);

// waitpid, again when a signal interrupts it.
pid_t waitForChild(pid_t pid, int options);

// A thread that waits for this one child, never for "any child", so Qt's own children stay
// Qt's; it counts `unreaped` down when the child is reaped.
void reapInBackground(pid_t pid, std::shared_ptr<std::atomic<int>> unreaped);
