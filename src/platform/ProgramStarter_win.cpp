// The starter on Windows: each start is prepared and created on a thread of its own, and
// answered from the starter's event loop.
#include "ProcessSpawn.h"
#include "ProgramStarter.h"
#include "WindowsPrograms.h"

#include <QAbstractEventDispatcher>
#include <QThread>

#include <mutex>
#include <thread>

namespace {

enum StartState : int { Preparing, Answered, GivenUp };

bool settle(std::atomic<int>& state, StartState to)
{
    int expected = Preparing;
    return state.compare_exchange_strong(expected, to);
}

} // namespace

struct ProgramStarter::Handoff {
    std::mutex mutex;
    ProgramStarter* starter = nullptr; // cleared when the starter goes
    std::function<void()> hold;
    std::shared_ptr<std::atomic<int>> unreaped = std::make_shared<std::atomic<int>>(0);
    std::atomic<int> underWay{0};
};

struct ProgramStarter::Job {
    std::uint64_t id;
    Preparation prepare;
    std::shared_ptr<std::atomic<int>> state;
};

struct ProgramStarter::Result {
    ComposedStart composed;
    Spawned spawned;
};

ProgramStarter::ProgramStarter(QObject* parent) : QObject(parent), m_handoff(std::make_shared<Handoff>())
{
    m_handoff->starter = this;
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, &ProgramStarter::giveUpLateStarts);
}

ProgramStarter::~ProgramStarter()
{
    const std::lock_guard lock(m_handoff->mutex);
    m_handoff->starter = nullptr;
    for (const auto& [id, pending] : m_pending)
        settle(*pending.state, GivenUp);
}

void ProgramStarter::start(Preparation prepare, std::string givenUp, QObject* context, Answer answered)
{
    const std::uint64_t id = ++m_lastId;
    auto state = std::make_shared<std::atomic<int>>(Preparing);
    m_pending.emplace(id, Pending{context, std::move(answered), std::move(givenUp), state,
                                  std::chrono::steady_clock::now() + m_answerLimit});
    if (!m_limit.isActive())
        m_limit.start(m_answerLimit);
    ++m_handoff->underWay;
    Job job{id, std::move(prepare), state};
    try {
        std::thread([handoff = m_handoff, job = std::move(job)]() mutable { run(handoff, job); }).detach();
    } catch (const std::system_error&) {
        --m_handoff->underWay;
    }
}

void ProgramStarter::run(const std::shared_ptr<Handoff>& handoff, Job& job)
{
    std::function<void()> hold;
    {
        const std::lock_guard lock(handoff->mutex);
        hold = handoff->hold;
    }
    if (hold)
        hold();
    Result result{job.prepare(), {}};
    if (const auto* plan = std::get_if<PlannedStart>(&result.composed); plan && *job.state == Preparing)
        result.spawned = spawnProgram(Launch{plan->command, {}});
    finish(handoff, job, std::move(result));
}

void ProgramStarter::finish(const std::shared_ptr<Handoff>& handoff, const Job& job, Result result)
{
    const bool answered = settle(*job.state, Answered);
    const std::lock_guard lock(handoff->mutex);
    if (handoff->starter)
        QMetaObject::invokeMethod(
            handoff->starter,
            [starter = handoff->starter, id = job.id, answered, result = std::move(result)] {
                // Given up while the system was creating it: the user has been told it did not start.
                if (result.spawned.pid > 0 && !answered)
                    endProcessGroup(result.spawned.pid);
                if (result.spawned.pid > 0)
                    watchChild(result.spawned.pid, starter);
                if (answered)
                    starter->deliver(id, result);
            },
            Qt::QueuedConnection);
    --handoff->underWay;
}

void ProgramStarter::deliver(std::uint64_t id, const Result& result)
{
    StartOutcome outcome;
    if (const auto* refusal = std::get_if<StartRefusal>(&result.composed)) {
        outcome.message = refusal->reason;
    } else {
        const PlannedStart& plan = std::get<PlannedStart>(result.composed);
        if (result.spawned.pid > 0)
            outcome = {.started = true,
                       .message = {},
                       .parameters = plan.parameters,
                       .directoryCaption = plan.directoryCaption};
        else
            outcome.message = cannotStart(plan.folder, plan.name, result.spawned.whyNot);
    }
    answer(id, outcome);
}

void ProgramStarter::giveUpLateStarts()
{
    const auto now = std::chrono::steady_clock::now();
    std::vector<std::pair<std::uint64_t, std::string>> late;
    auto next = std::chrono::steady_clock::time_point::max();
    for (const auto& [id, pending] : m_pending) {
        if (pending.deadline > now)
            next = std::min(next, pending.deadline);
        else if (settle(*pending.state, GivenUp))
            late.emplace_back(id, pending.givenUp);
    }
    if (next != std::chrono::steady_clock::time_point::max())
        m_limit.start(std::chrono::ceil<std::chrono::milliseconds>(next - now));
    for (const auto& [id, message] : late)
        answer(id,
               StartOutcome{.started = false, .message = message, .parameters = {}, .directoryCaption = {}});
}

void ProgramStarter::answer(std::uint64_t id, const StartOutcome& outcome)
{
    const auto found = m_pending.find(id);
    if (found == m_pending.end())
        return;
    const Pending pending = std::move(found->second);
    m_pending.erase(found);
    if (pending.context)
        pending.answered(outcome);
}

void ProgramStarter::setAnswerLimit(std::chrono::milliseconds limit)
{
    m_answerLimit = limit;
}

void ProgramStarter::setPreparationHold(std::function<void()> hold)
{
    const std::lock_guard lock(m_handoff->mutex);
    m_handoff->hold = std::move(hold);
}

int ProgramStarter::unreapedChildren() const
{
    return m_handoff->unreaped->load();
}

int ProgramStarter::startsUnderWay() const
{
    return m_handoff->underWay.load();
}
