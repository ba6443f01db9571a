// The launch switches as the windows keep them, with the settings file read and written in
// order on a thread of the store's own: no window waits on the file.
#pragma once

#include "AtomicFile.h"
#include "OptionsRecord.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>

class OptionsStore {
public:
    // How the file is read and written: LoadOptions()/SaveOptions() in the program, the test
    // host's own in the tests. Both run on the store's thread only.
    using Load = std::function<void(OptionsRecord& record)>;
    using Save = std::function<WriteResult(OptionsRecord& record)>;

    // How long the store, when it goes, waits for the saves still queued.
    static constexpr std::chrono::milliseconds kDrainLimit{10000};

    // Made on the thread whose event loop receives the answers (the UI thread), before or
    // after the application. Answers come only while the application lives.
    OptionsStore(Load load, Save save);
    // Waits up to kDrainLimit for the reads and saves queued before; a thread still held by a
    // file system that does not answer is left to end with the process.
    ~OptionsStore();
    OptionsStore(const OptionsStore&) = delete;
    OptionsStore& operator=(const OptionsStore&) = delete;

    // The configuration window's record, shared by each of its instances for the whole run.
    // UI thread only.
    OptionsRecord& record();

    // Reads the file into record() after every save queued before, then calls `loaded` on
    // the UI thread while `context` lives. A file that cannot be read leaves the record as
    // it was.
    void read(QObject* context, std::function<void()> loaded);

    // Saves record() as it is now, after every save queued before; a failure's result is
    // handed to `failed` on the UI thread while `context` lives.
    void save(QObject* context, std::function<void(const WriteResult& result)> failed);

    // A call for any thread but the UI thread: it reads the file after every save queued
    // before it and returns the play window's record as then read (the file lost: as last
    // read). It waits as long as the file system does. It stays safe to call after the store
    // has gone.
    std::function<OptionsRecord()> launchOptionsReader() const;

    // Waits until everything queued so far has run, or `limit` has passed; true when it all has.
    bool waitUntilDone(std::chrono::milliseconds limit) const;

private:
    struct Queue;
    QObject* home();

    std::shared_ptr<Queue> m_queue;
    QPointer<QObject> m_home; // answers are delivered through it; the application's child
    OptionsRecord m_record;
};
