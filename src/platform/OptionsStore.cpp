#include "OptionsStore.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <condition_variable>
#include <cstdint>
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
    std::uint64_t queued = 0; // jobs ever queued
    std::uint64_t done = 0;   // of those, the ones run to their end
    bool closing = false;     // the store is finishing: the thread ends once no job is left
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
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
            ++done;
            changed.notify_all();
        }
        ended = true;
    }

    // The job's place in the order, counted from 1; 0 once the thread has ended, when nothing
    // would run it.
    std::uint64_t add(std::function<void()> job)
    {
        const std::lock_guard lock(mutex);
        if (ended)
            return 0;
        jobs.push_back(std::move(job));
        changed.notify_all();
        return ++queued;
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
    if (!m_finished && !finish())
        waitUntilDone(m_limit);
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
    if (m_queue->changed.wait_for(lock, m_limit, [this] { return m_queue->done >= m_lastSave; }))
        return std::nullopt;
    return WriteResult{m_file, noAnswerWithin(m_limit)};
}

void OptionsStore::enqueue(QObject* context, Failed failed, std::function<void()> loaded)
{
    auto answered = std::make_shared<bool>(false); // UI thread only
    if (context)
        QTimer::singleShot(m_limit, context,
                           [answered, failed, late = WriteResult{m_file, noAnswerWithin(m_limit)}] {
                               if (!*answered)
                                   failed(late);
                           });
    if (!m_line)
        m_line = AnswerLine::to(QCoreApplication::instance());
    const std::uint64_t place =
        m_queue->add([queue = m_queue.get(), line = m_line, record = m_record, target = &m_record, answered,
                      context = QPointer(context), failed, loaded]() mutable {
            WriteResult result;
            if (loaded)
                queue->load(record);
            else
                result = queue->save(record);
            line->post([record, target, answered, context, failed, loaded, result] {
                *answered = true;
                if (context && loaded) {
                    *target = record;
                    loaded();
                } else if (context && !result) {
                    failed(result);
                }
            });
        });
    if (!loaded)
        m_lastSave = place;
}

void OptionsStore::read(QObject* context, std::function<void()> loaded, Failed late)
{
    enqueue(context, std::move(late), std::move(loaded));
}

void OptionsStore::save(QObject* context, Failed failed)
{
    enqueue(context, std::move(failed), nullptr);
}

std::function<OptionsRecord()> OptionsStore::launchOptionsReader() const
{
    return [queue = m_queue] {
        auto read = std::make_shared<std::packaged_task<OptionsRecord()>>([queue = queue.get()] {
            queue->load(queue->launchOptions);
            return queue->launchOptions;
        });
        std::future<OptionsRecord> options = read->get_future();
        // After the store has gone and its thread with it, the caller reads for itself.
        if (!queue->add([read] { (*read)(); }))
            (*read)();
        return options.get();
    };
}

bool OptionsStore::waitUntilDone(std::chrono::milliseconds limit) const
{
    std::unique_lock lock(m_queue->mutex);
    return m_queue->changed.wait_for(lock, limit, [this] { return m_queue->done == m_queue->queued; });
}
