// The operating system's half of starting a program, all that ProgramStarter needs of it:
// create the process, end one created too late, and reap it when it ends. Each system
// writes its own ProcessSpawn_<system>.cpp; everything else about a start is shared.
#pragma once

#include "ProgramStart.h"

#include <string>
#include <vector>

class QObject;

// What is executed: the command, and the environment (NAME=value entries) it runs with.
struct Launch {
    Command command;
    std::vector<std::string> environment;
};

// What came of creating a process: its id, or why the system would not create it.
struct Spawned {
    int pid = 0;        // positive once the process exists
    std::string whyNot; // otherwise, a sentence for the user in the system's own words
};

// Creates the process detached: a process group and session of its own, signals at their
// defaults, only stdin, stdout and stderr inherited, in the command's working directory
// (ours when it names none). A file name without a separator is taken from the working
// directory, never from PATH; a command holding a NUL byte creates nothing. Blocks until
// the program runs, or the system has said why not.
Spawned spawnDetached(const Launch& launch);

// Ends `pid` and every process of its group at once; it must still be reaped.
void endProcessGroup(int pid);

// Reaps the child `pid` when it ends, watched from the event loop of `owner`'s thread; a
// child still running when `owner` goes is left to the system.
void watchChild(int pid, QObject* owner);
