#include "FileLookup.h"
#include "ProgramStarter.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// What is executed: the command, and the environment as it stood when the start was asked for.
struct Launch {
    Command command;
    std::vector<std::string> environment;
};

// Copied on the asking thread: the creating thread must not read environ while the program
// may be changing it.
std::vector<std::string> currentEnvironment()
{
    std::vector<std::string> copy;
    for (char** entry = environ; entry && *entry; ++entry)
        copy.emplace_back(*entry);
    return copy;
}

std::vector<char*> pointersTo(const std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (const std::string& text : texts)
        pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

bool holdsNul(const std::string& text)
{
    return text.find('\0') != std::string::npos;
}

// A C string cannot carry a NUL byte, so a name or an argument holding one would reach the
// child cut short: such a command starts nothing rather than something else. A file name
// without "/" is taken from the working directory, never from PATH.
std::optional<Command> checked(Command command)
{
    if (command.file.empty() || command.argv.empty() || holdsNul(command.file) ||
        holdsNul(command.workingDirectory) || std::ranges::any_of(command.argv, holdsNul))
        return std::nullopt;
    if (command.file.find('/') == std::string::npos)
        command.file = "./" + command.file;
    // A relative file would be looked for in the folder the child moves to.
    if (!command.workingDirectory.empty() && command.file.front() != '/')
        return std::nullopt;
    if (!isExecutableFile(command.file))
        return std::nullopt;
    return command;
}

class SpawnSetup {
public:
    SpawnSetup()
    {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
        // A session of its own, so the emulator outlives us and our terminal's signals.
        // Signals we ignore or block are not the emulator's business: it starts clean.
        posix_spawnattr_setflags(&attributes,
                                 POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
};

pid_t spawn(const Launch& launch)
{
    const Command& command = launch.command;
    std::vector<char*> argv = pointersTo(command.argv);
    std::vector<char*> environment = pointersTo(launch.environment);
    SpawnSetup setup;
    if (!command.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&setup.actions, command.workingDirectory.c_str());
    pid_t pid = -1;
    const int error = posix_spawn(&pid, command.file.c_str(), &setup.actions, &setup.attributes, argv.data(),
                                  environment.data());
    return error == 0 ? pid : -1;
}

pid_t waitFor(pid_t pid, int options)
{
    pid_t result;
    do {
        result = ::waitpid(pid, nullptr, options);
    } while (result < 0 && errno == EINTR);
    return result;
}

// The last resort when the child cannot be watched from the event loop: a thread that
// blocks on this one child only, never on "any child", so Qt's own children stay Qt's.
void reapInBackground(pid_t pid, std::shared_ptr<std::atomic<int>> unreaped)
{
    try {
        std::thread([pid, unreaped] {
            waitFor(pid, 0);
            --*unreaped;
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the child is reaped when we exit, as any orphan is.
    }
}

int openPidfd(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

// A start asked for and not yet created.
struct Request {
    Launch launch;
    bool watchable; // the starter's thread has an event loop to watch the child from
};

} // namespace

struct ProgramStarter::Handoff {
    std::mutex mutex;
    std::condition_variable wake;
    ProgramStarter* starter = nullptr; // cleared when the starter goes
    std::deque<Request> queue;         // starts waiting for the creating thread
    std::vector<int> spawned;          // children created and not yet watched
    bool creatorRunning = false;
    std::function<pid_t(const Launch&)> create = spawn;
};

ProgramStarter::ProgramStarter(QObject* parent)
    : QObject(parent), m_unreaped(std::make_shared<std::atomic<int>>(0)),
      m_handoff(std::make_shared<Handoff>())
{
    m_handoff->starter = this;
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
    // The creating thread still creates what was asked for, then ends.
    m_handoff->wake.notify_one();
    for (const int pid : spawned)
        reapInBackground(pid, m_unreaped);
    for (const auto& [notifier, watched] : m_watched) {
        delete notifier;
        ::close(watched.pidfd);
        if (waitFor(watched.pid, WNOHANG) == 0)
            reapInBackground(watched.pid, m_unreaped);
        else
            --*m_unreaped;
    }
}

// Creating a process holds the creating thread until the child has reached exec, and on a
// busy machine that wait alone takes tens of milliseconds. So the event loop's thread only
// decides what to run and queues it; one thread of the starter's own creates the processes
// and hands each child back to be watched.
bool ProgramStarter::start(const Command& command)
{
    std::optional<Command> runnable = checked(command);
    if (!runnable)
        return false;
    Launch launch{std::move(*runnable), currentEnvironment()};
    const bool watchable =
        QThread::currentThread() == thread() && QAbstractEventDispatcher::instance(thread()) != nullptr;
    std::unique_lock lock(m_handoff->mutex);
    if (!m_handoff->creatorRunning) {
        try {
            std::thread(&ProgramStarter::createQueued, m_handoff, m_unreaped).detach();
            m_handoff->creatorRunning = true;
        } catch (const std::system_error&) {
            // No thread to be had: this start is created here after all.
            lock.unlock();
            const pid_t pid = m_handoff->create(launch);
            if (pid <= 0)
                return false;
            ++*m_unreaped;
            if (watchable)
                watch(pid);
            else
                reapInBackground(pid, m_unreaped);
            return true;
        }
    }
    ++*m_unreaped;
    m_handoff->queue.push_back(Request{std::move(launch), watchable});
    lock.unlock();
    m_handoff->wake.notify_one();
    return true;
}

// The creating thread: runs until its starter is gone and nothing is left to create.
void ProgramStarter::createQueued(std::shared_ptr<Handoff> handoff,
                                  std::shared_ptr<std::atomic<int>> unreaped)
{
    std::unique_lock lock(handoff->mutex);
    for (;;) {
        handoff->wake.wait(lock, [&] { return !handoff->queue.empty() || !handoff->starter; });
        if (handoff->queue.empty())
            break;
        const Request request = std::move(handoff->queue.front());
        handoff->queue.pop_front();
        lock.unlock();
        const pid_t pid = handoff->create(request.launch);
        lock.lock();
        if (pid <= 0) {
            --*unreaped;
        } else if (request.watchable && handoff->starter) {
            handoff->spawned.push_back(pid);
            QMetaObject::invokeMethod(handoff->starter, &ProgramStarter::watchSpawned, Qt::QueuedConnection);
        } else {
            reapInBackground(pid, unreaped);
        }
    }
    handoff->creatorRunning = false;
}

int ProgramStarter::unreapedChildren() const
{
    return m_unreaped->load();
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
        reapInBackground(pid, m_unreaped);
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
    if (waitFor(watched.pid, WNOHANG) == 0)
        reapInBackground(watched.pid, m_unreaped);
    else
        --*m_unreaped;
}
