// Starts outside programs detached, without a shell, off the calling thread, answers with
// what came of each start, and reaps each child when it ends so none is left behind as a
// zombie. Used by SystemHost.
#pragma once

#include "StartComposition.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QSocketNotifier;

class ProgramStarter : public QObject {
    Q_OBJECT
public:
    // What creates a process for a command: its pid, or minus the system's error number.
    using ProcessCreator = std::function<int(const Command& command)>;
    // What decides the command: finding the program and composing its start. It may wait as
    // long as a file system does.
    using Preparation = std::function<ComposedStart()>;
    using Answer = std::function<void(const StartOutcome& outcome)>;

    // How long a start may go unanswered before it is given up.
    static constexpr std::chrono::milliseconds kAnswerLimit{10000};

    // A starter that lives in the calling thread, which answers and watches the children
    // from its event loop.
    explicit ProgramStarter(QObject* parent = nullptr);
    // The same with `create` in place of the system's process creation (tests watch with it
    // which thread creates the processes, and hold it).
    explicit ProgramStarter(ProcessCreator create, QObject* parent = nullptr);
    // Starts still being prepared start nothing; children still running are handed to
    // waiting threads, so they are reaped all the same.
    ~ProgramStarter() override;

    ProgramStarter(const ProgramStarter&) = delete;
    ProgramStarter& operator=(const ProgramStarter&) = delete;

    // Runs `prepare`, then creates the process it plans, both on a thread of the starter's
    // own, so the calling thread waits neither on a file system nor for the child's exec.
    // The process runs in a session of its own, in the command's working directory (ours
    // when it names none), with our environment as it is now, inheriting only stdin, stdout
    // and stderr. A file name without "/" is taken from the working directory, never from
    // PATH; a command holding a NUL byte starts nothing. `answered` is called once, later,
    // on the starter's thread and only while `context` lives: with the plan's texts once the
    // process exists; with the refusal, or the system's reason for not creating it; or with
    // `givenUp` when no answer came within the limit, after which the start creates nothing
    // (a process the system creates after all is ended at once). Without an event loop on
    // the starter's thread nothing is answered, and children are reaped by waiting threads.
    void start(Preparation prepare, std::string givenUp, QObject* context, Answer answered);

    // The limit for the starts asked for from now on (tests shorten it).
    void setAnswerLimit(std::chrono::milliseconds limit);
    // Runs `hold` on the preparing thread before each preparation, as a file system that
    // does not answer would hold it there (a seam for tests).
    void setPreparationHold(std::function<void()> hold);

    // How many of the children this starter started have not been reaped yet.
    int unreapedChildren() const;
    // How many starts asked for are still being prepared or created on their threads.
    int startsUnderWay() const;

private:
    // Shared with the threads that prepare the starts, which may outlive this starter.
    struct Handoff;
    struct Job;
    struct Result;

    struct Pending {
        QPointer<QObject> context;
        Answer answered;
        std::string givenUp;
        std::shared_ptr<std::atomic<int>> state;
        std::chrono::steady_clock::time_point deadline;
    };

    struct Watch {
        int pidfd;
        int pid;
    };

    static bool addThread(const std::shared_ptr<Handoff>& handoff);
    static void serve(std::shared_ptr<Handoff> handoff);
    static void run(const std::shared_ptr<Handoff>& handoff, Job& job);
    static void finish(const std::shared_ptr<Handoff>& handoff, const Job& job, Result result);
    void deliver(std::uint64_t id, const Result& result);
    void giveUpLateStarts();
    void answer(std::uint64_t id, const StartOutcome& outcome);
    void watchSpawned();
    void watch(int pid);
    void childEnded(QSocketNotifier* notifier);

    std::shared_ptr<Handoff> m_handoff;
    std::chrono::milliseconds m_answerLimit = kAnswerLimit;
    std::uint64_t m_lastId = 0;
    std::map<std::uint64_t, Pending> m_pending;
    QTimer m_limit; // due at the earliest deadline of the starts pending
    std::map<QSocketNotifier*, Watch> m_watched;
};
