#include "OptionsStore.h"

#include <QCoreApplication>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>

// What the store shares with its thread, which may outlive it.
struct OptionsStore::Queue {
    Load load;
    Save save;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> jobs;
    int saves = 0; // queued or running
    bool busy = false;
    bool closing = false;
    bool ended = false;
    OptionsRecord launchOptions; // the play window's record; the thread's alone

    // Runs the jobs in the order they came, until the store goes and none is left.
    void serve()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return !jobs.empty() || closing; });
            if (jobs.empty())
                break;
            std::function<void()> job = std::move(jobs.front());
            jobs.pop_front();
            busy = true;
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
            busy = false;
            changed.notify_all();
        }
        ended = true;
        changed.notify_all();
    }

    // False once the thread has ended: nothing would run the job.
    bool add(std::function<void()> job, int isSave = 0)
    {
        const std::lock_guard lock(mutex);
        if (ended)
            return false;
        saves += isSave;
        jobs.push_back(std::move(job));
        changed.notify_all();
        return true;
    }
};

OptionsStore::OptionsStore(Load load, Save save, std::filesystem::path file, std::chrono::milliseconds limit)
    : m_queue(std::make_shared<Queue>()), m_file(std::move(file)), m_limit(limit)
{
    m_queue->load = std::move(load);
    m_queue->save = std::move(save);
    runOffThread([queue = m_queue] { queue->serve(); });
}

OptionsStore::~OptionsStore()
{
    if (!m_finished && !finish()) {
        std::unique_lock lock(m_queue->mutex);
        m_queue->changed.wait_for(lock, m_limit, [this] { return m_queue->ended; });
    }
    delete m_home;
}

std::optional<WriteResult> OptionsStore::finish()
{
    m_finished = true;
    if (m_line)
        m_line->close();
    std::unique_lock lock(m_queue->mutex);
    m_queue->closing = true;
    m_queue->changed.notify_all();
    // A click just before the program ends is still saved.
    if (m_queue->changed.wait_for(lock, m_limit, [this] { return m_queue->saves == 0; }))
        return std::nullopt;
    return WriteResult{m_file, noAnswerWithin(m_limit)};
}

// Made at the first read or save, as a child of the application where there is one: the
// store may be made before it and outlive it, and its thread must post nothing once the
// application is gone.
QObject* OptionsStore::home()
{
    if (!m_home) {
        m_home = new QObject(QCoreApplication::instance());
        m_line = AnswerLine::to(m_home);
    }
    return m_home;
}

std::shared_ptr<bool> OptionsStore::watch(QObject* context, Failed late)
{
    home();
    auto done = std::make_shared<bool>(false); // UI thread only
    if (context)
        QTimer::singleShot(m_limit, context,
                           [done, late, result = WriteResult{m_file, noAnswerWithin(m_limit)}] {
                               if (!*done)
                                   late(result);
                           });
    return done;
}

OptionsRecord& OptionsStore::record()
{
    return m_record;
}

void OptionsStore::read(QObject* context, std::function<void()> loaded, Failed late)
{
    auto done = watch(context, late);
    m_queue->add([queue = m_queue.get(), done, line = m_line, record = m_record, context = QPointer(context),
                  loaded, target = &m_record]() mutable {
        queue->load(record);
        line->post([record, context, loaded, target, done] {
            *done = true;
            if (!context)
                return;
            *target = record;
            loaded();
        });
    });
}

void OptionsStore::save(QObject* context, Failed failed)
{
    auto done = watch(context, failed);
    m_queue->add(
        [queue = m_queue.get(), done, line = m_line, record = m_record, context = QPointer(context),
         failed]() mutable {
            const WriteResult result = queue->save(record);
            {
                const std::lock_guard saved(queue->mutex);
                --queue->saves;
            }
            line->post([context, failed, result, done] {
                *done = true;
                if (!result && context)
                    failed(result);
            });
        },
        1);
}

std::function<OptionsRecord()> OptionsStore::launchOptionsReader() const
{
    return [queue = m_queue] {
        auto read = std::make_shared<std::promise<OptionsRecord>>();
        std::future<OptionsRecord> options = read->get_future();
        auto job = [queue = queue.get(), read] {
            queue->load(queue->launchOptions);
            read->set_value(queue->launchOptions);
        };
        // After the store has gone and its thread with it, the caller reads for itself.
        if (!queue->add(job))
            job();
        return options.get();
    };
}

bool OptionsStore::waitUntilDone(std::chrono::milliseconds limit) const
{
    std::unique_lock lock(m_queue->mutex);
    return m_queue->changed.wait_for(lock, limit, [this] { return m_queue->jobs.empty() && !m_queue->busy; });
}
