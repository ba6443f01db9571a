#include "ProgramStarter.h"

#include <QTimer>

#include <mutex>
#include <system_error>
#include <thread>

namespace {

// "10 seconds", "0.3 seconds", "1 second".
std::string secondsText(std::chrono::milliseconds limit)
{
    const long long tenths = (limit.count() + 50) / 100;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0)
        text.append(1, '.').append(1, char('0' + tenths % 10));
    return text.append(tenths == 10 ? " second" : " seconds");
}

StartOutcome failed(std::string message)
{
    return StartOutcome{
        .started = false, .message = std::move(message), .parameters = {}, .directoryCaption = {}};
}

} // namespace

// How a start's thread reaches the starter, which may be gone by the time it is done: the
// pointer is cleared when the starter goes, and read only under the lock.
struct ProgramStarter::Line {
    std::mutex mutex;
    ProgramStarter* starter;
};

ProgramStarter::ProgramStarter(std::chrono::milliseconds answerLimit, QObject* parent)
    : QObject(parent), m_answerLimit(answerLimit), m_line(std::make_shared<Line>())
{
    m_line->starter = this;
}

ProgramStarter::~ProgramStarter()
{
    const std::lock_guard lock(m_line->mutex);
    m_line->starter = nullptr;
}

// A press comes a few times a minute: a thread and a timer of its own per start are the
// simplest machinery, and a start held by a file system that never answers holds up no
// other. Such a thread stays held until the file system answers; nothing ever waits for it.
void ProgramStarter::start(const std::string& folder, const std::string& name, Preparation prepare,
                           QObject* context, Answer answered)
{
    const std::uint64_t id = ++m_lastId;
    auto abandoned = std::make_shared<std::atomic<bool>>(false);
    const std::string givenUp = cannotStart(folder, name,
                                            "no answer came within " + secondsText(m_answerLimit) +
                                                " (its folder may be on a drive or a network share "
                                                "that does not respond)");
    m_pending.emplace(id, Pending{name, givenUp, context, std::move(answered), abandoned});
    m_starting.insert(name);
    try {
        std::thread(&ProgramStarter::run, m_line, id, std::move(prepare), abandoned).detach();
    } catch (const std::system_error& error) {
        // The answer still comes from the event loop, as every other does.
        QMetaObject::invokeMethod(
            this,
            [this, id,
             why = cannotStart(folder, name, "no thread could be made for it: " + error.code().message())] {
                answer(id, failed(why));
            },
            Qt::QueuedConnection);
        return;
    }
    QTimer::singleShot(m_answerLimit, this, [this, id] { giveUp(id); });
}

bool ProgramStarter::isStarting(const std::string& name) const
{
    return m_starting.contains(name);
}

// On the start's own thread.
void ProgramStarter::run(const std::shared_ptr<Line>& line, std::uint64_t id, const Preparation& prepare,
                         const std::shared_ptr<std::atomic<bool>>& abandoned)
{
    Result result{prepare(), {}};
    // A start given up while it was prepared creates nothing.
    if (const auto* plan = std::get_if<PlannedStart>(&result.prepared.composed); plan && !*abandoned)
        result.spawned = spawnDetached(Launch{plan->command, std::move(result.prepared.environment)});
    // With the starter gone the program is ending: a child made meanwhile runs on, as every
    // emulator outlives us.
    const std::lock_guard lock(line->mutex);
    if (line->starter)
        QMetaObject::invokeMethod(
            line->starter,
            [starter = line->starter, id, result = std::move(result)] { starter->finish(id, result); },
            Qt::QueuedConnection);
}

void ProgramStarter::finish(std::uint64_t id, const Result& result)
{
    const int pid = result.spawned.pid;
    if (pid > 0) {
        // Given up while the system was creating it: the user has been told it did not start.
        if (!m_pending.contains(id))
            endProcessGroup(pid);
        watchChild(pid, this);
    }
    if (const auto* refusal = std::get_if<StartRefusal>(&result.prepared.composed))
        return answer(id, failed(refusal->reason));
    const PlannedStart& plan = std::get<PlannedStart>(result.prepared.composed);
    if (pid <= 0)
        return answer(id, failed(cannotStart(plan.folder, plan.name, result.spawned.whyNot)));
    answer(id, StartOutcome{.started = true,
                            .message = {},
                            .parameters = plan.parameters,
                            .directoryCaption = plan.directoryCaption});
}

void ProgramStarter::giveUp(std::uint64_t id)
{
    const auto found = m_pending.find(id);
    if (found == m_pending.end())
        return;
    *found->second.abandoned = true;
    answer(id, failed(found->second.givenUp));
}

void ProgramStarter::answer(std::uint64_t id, const StartOutcome& outcome)
{
    const auto found = m_pending.find(id);
    if (found == m_pending.end())
        return;
    const Pending pending = std::move(found->second);
    m_pending.erase(found);
    m_starting.erase(m_starting.find(pending.name));
    // The answer may run a message box's own event loop: this starter is done with it first.
    if (pending.context)
        pending.answered(outcome);
}
