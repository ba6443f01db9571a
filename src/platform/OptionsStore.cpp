#include "OptionsStore.h"

#include <QCoreApplication>

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

// What the store shares with its thread, which may outlive it.
struct OptionsStore::Queue {
    Load load;
    Save save;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> jobs;
    bool busy = false;
    bool closing = false;
    bool ended = false;
    QObject* home = nullptr;     // cleared when the store goes
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

    // Hands `answer` to the UI thread, unless the store has gone.
    void answer(std::function<void()> answer)
    {
        const std::lock_guard lock(mutex);
        if (home)
            QMetaObject::invokeMethod(home, std::move(answer), Qt::QueuedConnection);
    }

    // False once the thread has ended: nothing would run the job.
    bool add(std::function<void()> job)
    {
        const std::lock_guard lock(mutex);
        if (ended)
            return false;
        jobs.push_back(std::move(job));
        changed.notify_all();
        return true;
    }
};

OptionsStore::OptionsStore(Load load, Save save) : m_queue(std::make_shared<Queue>())
{
    m_queue->load = std::move(load);
    m_queue->save = std::move(save);
    std::thread([queue = m_queue] { queue->serve(); }).detach();
}

OptionsStore::~OptionsStore()
{
    {
        std::unique_lock lock(m_queue->mutex);
        m_queue->home = nullptr;
        m_queue->closing = true;
        m_queue->changed.notify_all();
        // A click just before the program ends is still saved.
        m_queue->changed.wait_for(lock, kDrainLimit, [this] { return m_queue->ended; });
    }
    delete m_home;
}

// Made at the first read or save, as a child of the application where there is one: the
// store may be made before it and outlive it, and its thread must post nothing once the
// application is gone.
QObject* OptionsStore::home()
{
    if (!m_home) {
        m_home = new QObject(QCoreApplication::instance());
        const std::lock_guard lock(m_queue->mutex);
        m_queue->home = m_home;
        QObject::connect(m_home, &QObject::destroyed, [queue = m_queue] {
            const std::lock_guard gone(queue->mutex);
            queue->home = nullptr;
        });
    }
    return m_home;
}

OptionsRecord& OptionsStore::record()
{
    return m_record;
}

void OptionsStore::read(QObject* context, std::function<void()> loaded)
{
    home();
    m_queue->add([queue = m_queue.get(), record = m_record, context = QPointer(context), loaded,
                  target = &m_record]() mutable {
        queue->load(record);
        queue->answer([record, context, loaded, target] {
            if (!context)
                return;
            *target = record;
            loaded();
        });
    });
}

void OptionsStore::save(QObject* context, std::function<void(const WriteResult& result)> failed)
{
    home();
    m_queue->add([queue = m_queue.get(), record = m_record, context = QPointer(context), failed]() mutable {
        const WriteResult result = queue->save(record);
        if (!result)
            queue->answer([context, failed, result] {
                if (context)
                    failed(result);
            });
    });
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
