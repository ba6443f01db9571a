#include "ProcessSpawn.h"
#include "ProgramStarter.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <deque>
#include <mutex>
#include <sys/syscall.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

// Whichever of the preparing thread and the starter's limit moves a start on from
// Preparing first decides whether it is answered or given up.
enum StartState : int { Preparing, Answered, GivenUp };

// A thread held by a file system that does not answer stays held; past this many, further
// starts wait their turn, and are given up at the limit like any other.
constexpr int kMostThreads = 8;
constexpr std::chrono::seconds kIdleThreadLinger{30};

bool settle(std::atomic<int>& state, StartState to)
{
    int expected = Preparing;
    return state.compare_exchange_strong(expected, to);
}

int openPidfd(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

// The system's own reason, for the box. strerror is called on the starter's thread only.
std::string systemReason(int error)
{
    std::string why = "the system would not run it: ";
    why += std::strerror(error);
    // exec says so of a script whose interpreter is missing, too.
    if (error == ENOENT)
        why += " (the interpreter a script names on its first line may be missing)";
    return why;
}

} // namespace

struct ProgramStarter::Job {
    std::uint64_t id;
    Preparation prepare;
    std::vector<std::string> environment;
    std::shared_ptr<std::atomic<int>> state;
    bool watchable; // the starter's thread has an event loop to answer from and watch the child
};

struct ProgramStarter::Result {
    ComposedStart composed;
    int pid = 0;   // the child, once created
    int error = 0; // the system's reason when it was not
};

struct ProgramStarter::Handoff {
    std::mutex mutex;
    std::condition_variable wake;
    ProgramStarter* starter = nullptr; // cleared when the starter goes
    std::deque<Job> queue;             // starts waiting for a thread
    std::vector<int> spawned;          // children created and not yet watched
    int threads = 0;
    int idle = 0;
    std::function<void()> hold;
    std::function<int(const Launch&)> create = spawnDetached;
    std::shared_ptr<std::atomic<int>> unreaped = std::make_shared<std::atomic<int>>(0);
    std::atomic<int> underWay{0};
};

ProgramStarter::ProgramStarter(QObject* parent) : QObject(parent), m_handoff(std::make_shared<Handoff>())
{
    m_handoff->starter = this;
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, &ProgramStarter::giveUpLateStarts);
}

ProgramStarter::ProgramStarter(ProcessCreator create, QObject* parent) : ProgramStarter(parent)
{
    m_handoff->create = [create = std::move(create)](const Launch& launch) { return create(launch.command); };
}

ProgramStarter::~ProgramStarter()
{
    std::vector<int> spawned;
    {
        const std::lock_guard lock(m_handoff->mutex);
        m_handoff->starter = nullptr;
        spawned.swap(m_handoff->spawned);
    }
    for (const auto& [id, pending] : m_pending)
        settle(*pending.state, GivenUp);
    m_handoff->wake.notify_all();
    for (const int pid : spawned)
        reapInBackground(pid, m_handoff->unreaped);
    for (const auto& [notifier, watched] : m_watched) {
        delete notifier;
        ::close(watched.pidfd);
        if (waitForChild(watched.pid, WNOHANG) == 0)
            reapInBackground(watched.pid, m_handoff->unreaped);
        else
            --*m_handoff->unreaped;
    }
}

// Finding the program, reading its first bytes and the Wine drives may wait on a file system
// that does not answer, and creating a process holds its creator until the child has
// reached exec, tens of milliseconds on a busy machine. So the caller only queues the start;
// threads of the starter's own do the rest and report back.
void ProgramStarter::start(Preparation prepare, std::string givenUp, QObject* context, Answer answered)
{
    const std::uint64_t id = ++m_lastId;
    auto state = std::make_shared<std::atomic<int>>(Preparing);
    const bool watchable =
        QThread::currentThread() == thread() && QAbstractEventDispatcher::instance(thread()) != nullptr;
    if (watchable) {
        m_pending.emplace(id, Pending{context, std::move(answered), std::move(givenUp), state,
                                      std::chrono::steady_clock::now() + m_answerLimit});
        if (!m_limit.isActive())
            m_limit.start(m_answerLimit);
    }
    ++m_handoff->underWay;
    std::unique_lock lock(m_handoff->mutex);
    m_handoff->queue.push_back(Job{id, std::move(prepare), currentEnvironment(), state, watchable});
    // Only the first thread is made here; each thread that takes a start makes the next.
    const bool first = m_handoff->threads == 0;
    m_handoff->threads += first ? 1 : 0;
    lock.unlock();
    m_handoff->wake.notify_one();
    if (first && !addThread(m_handoff)) {
        // No thread to be had: this start is made here after all.
        lock.lock();
        Job job = std::move(m_handoff->queue.back());
        m_handoff->queue.pop_back();
        lock.unlock();
        run(m_handoff, job);
    }
}

// Makes a thread counted in already; on failure, counts it out again. Threads are made
// with the lock free, so nobody waits on the lock meanwhile.
bool ProgramStarter::addThread(const std::shared_ptr<Handoff>& handoff)
{
    try {
        std::thread(&ProgramStarter::serve, handoff).detach();
        return true;
    } catch (const std::system_error&) {
        const std::lock_guard lock(handoff->mutex);
        --handoff->threads;
        return false;
    }
}

// A preparing thread. One always waits for the next start, so a start held by a file system
// that does not answer holds up no other (up to kMostThreads of them); the others end when
// no start has come for a while, and all of them once the starter is gone and none is left.
void ProgramStarter::serve(std::shared_ptr<Handoff> handoff)
{
    std::unique_lock lock(handoff->mutex);
    for (;;) {
        ++handoff->idle;
        handoff->wake.wait_for(lock, kIdleThreadLinger,
                               [&] { return !handoff->queue.empty() || !handoff->starter; });
        --handoff->idle;
        if (handoff->queue.empty() && (!handoff->starter || handoff->idle > 0))
            break;
        if (handoff->queue.empty())
            continue;
        Job job = std::move(handoff->queue.front());
        handoff->queue.pop_front();
        const bool another = handoff->idle == 0 && handoff->threads < kMostThreads;
        handoff->threads += another ? 1 : 0;
        lock.unlock();
        if (another)
            addThread(handoff);
        run(handoff, job);
        lock.lock();
    }
    --handoff->threads;
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
    if (*job.state != Preparing) {
        --handoff->underWay;
        return;
    }
    Result result{job.prepare()};
    const auto* plan = std::get_if<PlannedStart>(&result.composed);
    // A start given up while it was prepared creates nothing.
    if (*job.state == Preparing && plan) {
        const int pid = handoff->create(Launch{plan->command, std::move(job.environment)});
        if (pid > 0)
            result.pid = pid;
        else
            result.error = -pid;
    }
    if (result.pid > 0)
        ++*handoff->unreaped;
    if (!settle(*job.state, Answered)) {
        // The user has been told it did not start; a child the system created meanwhile
        // is ended at once.
        if (result.pid > 0) {
            ::kill(result.pid, SIGKILL);
            waitForChild(result.pid, 0);
            --*handoff->unreaped;
        }
        --handoff->underWay;
        return;
    }
    finish(handoff, job, std::move(result));
}

void ProgramStarter::finish(const std::shared_ptr<Handoff>& handoff, const Job& job, Result result)
{
    {
        const std::lock_guard lock(handoff->mutex);
        const bool answerable = job.watchable && handoff->starter;
        if (result.pid > 0 && answerable)
            handoff->spawned.push_back(result.pid);
        else if (result.pid > 0)
            reapInBackground(result.pid, handoff->unreaped);
        if (answerable)
            QMetaObject::invokeMethod(
                handoff->starter,
                [starter = handoff->starter, id = job.id, result = std::move(result)] {
                    starter->deliver(id, result);
                },
                Qt::QueuedConnection);
    }
    --handoff->underWay;
}

void ProgramStarter::deliver(std::uint64_t id, const Result& result)
{
    watchSpawned();
    StartOutcome outcome;
    if (const auto* refusal = std::get_if<StartRefusal>(&result.composed)) {
        outcome.message = refusal->reason;
    } else {
        const PlannedStart& plan = std::get<PlannedStart>(result.composed);
        if (result.pid > 0)
            outcome = {.started = true,
                       .message = {},
                       .parameters = plan.parameters,
                       .directoryCaption = plan.directoryCaption};
        else
            outcome.message = cannotStart(plan.folder, plan.name, systemReason(result.error));
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
    // The answer may run a message box's own event loop: this starter is done with it first.
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

void ProgramStarter::watchSpawned()
{
    std::vector<int> spawned;
    {
        const std::lock_guard lock(m_handoff->mutex);
        spawned.swap(m_handoff->spawned);
    }
    for (const int pid : spawned)
        watch(pid);
}

// The child stays unreaped until we reap it, so its pid cannot be reused meanwhile and
// pidfd_open cannot catch a stranger, even when the child has already ended.
void ProgramStarter::watch(int pid)
{
    const int pidfd = openPidfd(pid);
    if (pidfd < 0) {
        reapInBackground(pid, m_handoff->unreaped);
        return;
    }
    auto* notifier = new QSocketNotifier(pidfd, QSocketNotifier::Read, this);
    m_watched.emplace(notifier, Watch{pidfd, pid});
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier] { childEnded(notifier); });
}

void ProgramStarter::childEnded(QSocketNotifier* notifier)
{
    const auto found = m_watched.find(notifier);
    if (found == m_watched.end())
        return;
    const Watch watched = found->second;
    m_watched.erase(found);
    notifier->setEnabled(false);
    notifier->deleteLater();
    ::close(watched.pidfd);

    // A readable pidfd means the child has ended; should the kernel say so early, a
    // waiting thread finishes the job rather than a busy notifier.
    if (waitForChild(watched.pid, WNOHANG) == 0)
        reapInBackground(watched.pid, m_handoff->unreaped);
    else
        --*m_handoff->unreaped;
}
