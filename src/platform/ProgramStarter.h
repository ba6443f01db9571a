// Starts outside programs off the asking thread, each on a thread of its own, and answers
// there with what came of each start. This part is the same on every system; creating and
// watching the process is the system's own (ProcessSpawn.h). Used by SystemHost.
#pragma once

#include "ProcessSpawn.h"
#include "StartComposition.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
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
    // Finds the program and composes its start. It may wait as long as a file system does.
    using Preparation = std::function<Prepared()>;
    using Answer = std::function<void(const StartOutcome& outcome)>;

    // How long a start may go unanswered before it is given up, unless told otherwise.
    static constexpr std::chrono::milliseconds kAnswerLimit{10000};

    // A starter that answers from the event loop of the calling thread.
    explicit ProgramStarter(std::chrono::milliseconds answerLimit = kAnswerLimit, QObject* parent = nullptr);
    // Starts still under way answer nothing; their threads are never waited for.
    ~ProgramStarter() override;

    ProgramStarter(const ProgramStarter&) = delete;
    ProgramStarter& operator=(const ProgramStarter&) = delete;

    // Runs `prepare`, then creates the process it plans, on a new thread of this start's
    // own: neither the calling thread nor any other start waits for a file system or for the
    // child's exec. `answered` is called once, later, on the starter's thread and only while
    // `context` lives: with the plan's texts once the process exists; with the refusal, or
    // the system's reason for not creating it (a thread included); or, when no answer came
    // within the limit, with "Cannot start NAME in FOLDER: no answer came within ...". A start
    // given up creates nothing; a process the system creates after all is ended at once,
    // with its group. Children are reaped when they end.
    void start(const std::string& folder, const std::string& name, Preparation prepare, QObject* context,
               Answer answered);

    // True while a start of the program `name` has not been answered.
    bool isStarting(const std::string& name) const;

private:
    struct Line;
    struct Result {
        Prepared prepared;
        Spawned spawned;
    };
    struct Pending {
        std::string name;
        std::string givenUp;
        QPointer<QObject> context;
        Answer answered;
        std::shared_ptr<std::atomic<bool>> abandoned;
    };

    static void run(const std::shared_ptr<Line>& line, std::uint64_t id, const Preparation& prepare,
                    const std::shared_ptr<std::atomic<bool>>& abandoned);
    void finish(std::uint64_t id, const Result& result);
    void giveUp(std::uint64_t id);
    void answer(std::uint64_t id, const StartOutcome& outcome);

    std::chrono::milliseconds m_answerLimit;
    std::shared_ptr<Line> m_line;
    std::uint64_t m_lastId = 0;
    std::map<std::uint64_t, Pending> m_pending;
    std::multiset<std::string> m_starting;
};
