#include "ProgramStarter.h"

#include <QTimer>

#include <system_error>

namespace {

StartOutcome failed(std::string message)
{
    return StartOutcome{
        .started = false, .message = std::move(message), .parameters = {}, .directoryCaption = {}};
}

} // namespace

ProgramStarter::ProgramStarter(std::chrono::milliseconds answerLimit, QObject* parent)
    : QObject(parent), m_answerLimit(answerLimit)
{
}

// A press comes a few times a minute: a thread and a timer of its own per start are the
// simplest machinery, and a start held by a file system that never answers holds up no
// other. Such a thread stays held until the file system answers; nothing ever waits for it.
void ProgramStarter::start(const std::string& folder, const std::string& name, Preparation prepare,
                           QObject* context, Answer answered)
{
    const std::uint64_t id = ++m_lastId;
    auto watch = std::make_shared<Watch>();
    m_pending.emplace(id, Pending{folder, name, context, std::move(answered), watch});
    m_starting.insert(name);
    try {
        runOffThread([this, line = m_line, id, prepare = std::move(prepare), watch] {
            // With the starter gone the program is ending: the answer is dropped, and a child
            // made meanwhile runs on, as every emulator outlives us.
            line->post([this, id, result = run(prepare, *watch)] { finish(id, result); });
        });
    } catch (const std::system_error& error) {
        // The answer still comes from the event loop, as every other does.
        m_line->post(
            [this, id,
             why = cannotStart(folder, name, "no thread could be made for it: " + error.code().message())] {
                answer(id, failed(why));
            });
        return;
    }
    QTimer::singleShot(m_answerLimit, this, [this, id] { giveUp(id); });
}

bool ProgramStarter::isStarting(const std::string& name) const
{
    return m_starting.contains(name);
}

// On the start's own thread.
ProgramStarter::Result ProgramStarter::run(const Preparation& prepare, Watch& watch)
{
    Result result{prepare([&watch](std::string what) {
                      const std::lock_guard lock(watch.mutex);
                      watch.doing = std::move(what);
                  }),
                  {}};
    const auto* plan = std::get_if<PlannedStart>(&result.prepared.composed);
    {
        // A start given up while it was prepared creates nothing.
        const std::lock_guard lock(watch.mutex);
        if (!plan || watch.abandoned)
            return result;
        watch.doing = "creating its process";
    }
    result.spawned = spawnDetached(Launch{plan->command, std::move(result.prepared.environment)});
    return result;
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
    const Pending& pending = found->second;
    std::string why;
    {
        const std::lock_guard lock(pending.watch->mutex);
        pending.watch->abandoned = true;
        why = cannotStart(pending.folder, pending.name,
                          pending.watch->doing + ": " + noAnswerWithin(m_answerLimit));
    }
    answer(id, failed(why));
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
