// The launch switches as the windows keep them, with the settings file read and written in
// order on a thread of the store's own: no window waits on the file.
#pragma once

#include "AtomicFile.h"
#include "OffThread.h"
#include "OptionsRecord.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class OptionsStore {
public:
    // How the file is read and written: LoadOptions()/SaveOptions() in the program, the test
    // host's own in the tests. Both run on the store's thread only.
    using Load = std::function<void(OptionsRecord& record)>;
    using Save = std::function<WriteResult(OptionsRecord& record)>;
    // Why a read or a save came to nothing: the file, and the reason.
    using Failed = std::function<void(const WriteResult& result)>;

    // Made on the thread whose event loop receives the answers (the UI thread), before or
    // after the application. Answers come only while the application lives. `file` names
    // the settings file in the texts of a read or save that has had no answer within `limit`.
    OptionsStore(Load load, Save save, std::filesystem::path file,
                 std::chrono::milliseconds limit = kAnswerLimit);
    // Waits as finish() does, unless finish() has; then for the reads as well, should the
    // jobs' owner go with the store.
    ~OptionsStore();
    OptionsStore(const OptionsStore&) = delete;
    OptionsStore& operator=(const OptionsStore&) = delete;

    // The configuration window's record, shared by each of its instances for the whole run.
    // UI thread only.
    OptionsRecord& record() { return m_record; }

    // Reads the file into record() after every save queued before, then calls `loaded` on
    // the UI thread while `context` lives. A file that cannot be read leaves the record as
    // it was. A read not back within the limit is handed to `late`, once.
    void read(QObject* context, std::function<void()> loaded, Failed late);

    // Saves record() as it is now, after every save queued before; a failure's result, or a
    // save not done within the limit, is handed to `failed` on the UI thread while `context`
    // lives.
    void save(QObject* context, Failed failed);

    // A call for any thread but the UI thread: it reads the file after every save queued
    // before it and returns the play window's record as then read (the file lost: as last
    // read). It waits as long as the file system does. It stays safe to call after the store
    // has gone.
    std::function<OptionsRecord()> launchOptionsReader() const;

    // Waits until everything queued so far has run, or `limit` has passed; true when it all has.
    bool waitUntilDone(std::chrono::milliseconds limit) const;

    // For the end of the program: waits up to the limit for the saves queued so far, and
    // answers nothing from then on. The file and why, when a save has still not finished.
    std::optional<WriteResult> finish();

private:
    struct Queue;
    // The one way of a read (`loaded` set) and of a save: the file is read or written on the
    // store's thread after everything queued before, and the answer comes back on the UI
    // thread while `context` lives. `failed` is told of a save that failed, and of a read or
    // save with no answer within the limit, once.
    void enqueue(QObject* context, Failed failed, std::function<void()> loaded);

    std::shared_ptr<Queue> m_queue;
    std::filesystem::path m_file;
    std::chrono::milliseconds m_limit;
    // Made at the first read or save, to the application: the store may be made before it and
    // outlive it, and nothing may be answered once the application is gone.
    std::shared_ptr<AnswerLine> m_line;
    std::uint64_t m_lastSave = 0; // the place of the last save queued
    bool m_finished = false;
    OptionsRecord m_record;
};
