// Starts outside programs off the asking thread, each on a thread of its own, and answers
// there with what came of each start. This part is the same on every system; creating and
// watching the process is the system's own (ProcessSpawn.h). Used by SystemHost.
#pragma once

#include "OffThread.h"
#include "ProcessSpawn.h"
#include "StartComposition.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class ProgramStarter : public QObject {
    Q_OBJECT
public:
    // What a start's own thread decides: the start, or why not, and the environment its
    // process gets.
    struct Prepared {
        ComposedStart composed;
        std::vector<std::string> environment;
    };
    // Says what the start's thread is about to wait on, for the give-up's text: "reading
    // "/home/ann/neo/ORVELANE.DAT"".
    using Doing = std::function<void(std::string what)>;
    // Finds the program and composes its start. It may wait as long as a file system does,
    // and tells `doing` what it waits on first.
    using Preparation = std::function<Prepared(const Doing& doing)>;
    using Answer = std::function<void(const StartOutcome& outcome)>;

    // A starter that answers from the event loop of the calling thread.
    explicit ProgramStarter(std::chrono::milliseconds answerLimit = kAnswerLimit, QObject* parent = nullptr);
    ProgramStarter(const ProgramStarter&) = delete;
    ProgramStarter& operator=(const ProgramStarter&) = delete;

    // Runs `prepare`, then creates the process it plans, on a new thread of this start's
    // own: neither the calling thread nor any other start waits for a file system or for the
    // child's exec. `answered` is called once, later, on the starter's thread and only while
    // `context` lives: with the plan's texts once the process exists; with the refusal, or
    // the system's reason for not creating it (a thread included); or, when no answer came
    // within the limit, with "Cannot start NAME in FOLDER: WHAT: no answer within ...", WHAT
    // being what the thread waited on: "looking into its folder" unless told. A start
    // given up creates nothing; a process the system creates after all is ended at once,
    // with its group. Children are reaped when they end.
    void start(const std::string& folder, const std::string& name, Preparation prepare, QObject* context,
               Answer answered);

    // True while a start of the program `name` has not been answered.
    bool isStarting(const std::string& name) const;

private:
    struct Result {
        Prepared prepared;
        Spawned spawned;
    };
    // What a start's thread is doing, and whether it has been given up; shared with the thread.
    struct Watch {
        std::mutex mutex;
        std::string doing = "looking into its folder";
        bool abandoned = false;
    };
    struct Pending {
        std::string folder;
        std::string name;
        QPointer<QObject> context;
        Answer answered;
        std::shared_ptr<Watch> watch;
    };

    static Result run(const Preparation& prepare, Watch& watch);
    void finish(std::uint64_t id, const Result& result);
    void giveUp(std::uint64_t id);
    void answer(std::uint64_t id, const StartOutcome& outcome);

    std::chrono::milliseconds m_answerLimit;
    std::shared_ptr<AnswerLine> m_line = AnswerLine::to(this);
    std::uint64_t m_lastId = 0;
    std::map<std::uint64_t, Pending> m_pending;
    std::multiset<std::string> m_starting;
};
