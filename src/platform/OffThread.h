// Work off the UI thread, and the one way its answers come back to it.
#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// How long the windows wait for an answer from a file system or a process before they say
// that none came.
inline constexpr std::chrono::milliseconds kAnswerLimit{10000};

// What the limit's lapse is called in the texts: "no answer within 10 seconds (it may be on a
// drive or a network share that does not respond)".
std::string noAnswerWithin(std::chrono::milliseconds limit);

// Runs `work` on a new thread that nothing waits for; throws std::system_error when the
// system has no thread to give.
void runOffThread(std::function<void()> work);

// A way back from any thread to the thread of `home` (the UI thread): each answer runs there
// from its event loop, and none once `home` has gone.
class AnswerLine {
public:
    static std::shared_ptr<AnswerLine> to(QObject* home);

    void post(std::function<void()> answer);
    // No answer runs after this, from any thread.
    void close();

private:
    std::mutex m_mutex;
    QObject* m_home = nullptr;
};
