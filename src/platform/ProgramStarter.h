// Starts outside programs detached, without a shell, and reaps each one when it ends so
// none is left behind as a zombie. Used by SystemHost.
#pragma once

#include "ProgramStart.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;

class ProgramStarter : public QObject {
    Q_OBJECT
public:
    // What creates a process for a command: its pid, or -1 when none was created.
    using ProcessCreator = std::function<int(const Command& command)>;

    // A starter that lives in the calling thread; children it starts there are reaped by
    // that thread's event loop.
    explicit ProgramStarter(QObject* parent = nullptr);
    // The same with `create` in place of the system's process creation (tests watch with it
    // which thread creates the processes).
    explicit ProgramStarter(ProcessCreator create, QObject* parent = nullptr);
    // Children still running are handed to waiting threads, so they are reaped all the same.
    ~ProgramStarter() override;

    ProgramStarter(const ProgramStarter&) = delete;
    ProgramStarter& operator=(const ProgramStarter&) = delete;

    // Starts `command` in a session of its own, in its working directory (ours when it names
    // none), with our environment, inheriting only stdin, stdout and stderr; never waits for
    // it. A file name without "/" is taken from the working directory, never from PATH.
    // Anything that is not a regular executable file, or a command holding a NUL byte,
    // starts nothing. The process itself is created on a thread of its own, so the calling
    // thread never waits for it. Returns whether the command was found fit to start; should
    // the system still refuse it (an executable file of a format it cannot run, say),
    // nothing runs and nothing is reported.
    bool start(const Command& command);

    // How many of the children this starter started have not been reaped yet.
    int unreapedChildren() const;

private:
    // Shared with the threads that create the processes, which may outlive this starter.
    struct Handoff;

    struct Watch {
        int pidfd;
        int pid;
    };

    static void createQueued(std::shared_ptr<Handoff> handoff, std::shared_ptr<std::atomic<int>> unreaped);
    void watchSpawned();
    void watch(int pid);
    void childEnded(QSocketNotifier* notifier);

    // Shared with the waiting threads, which may outlive this starter.
    std::shared_ptr<std::atomic<int>> m_unreaped;
    std::shared_ptr<Handoff> m_handoff;
    std::map<QSocketNotifier*, Watch> m_watched;
};
