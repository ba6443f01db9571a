#include "OffThread.h"

#include <string>
#include <thread>

std::string noAnswerWithin(std::chrono::milliseconds limit)
{
    // "10 seconds", "0.3 seconds", "1 second".
    const long long tenths = (limit.count() + 50) / 100;
    std::string text = "no answer within " + std::to_string(tenths / 10);
    if (tenths % 10 != 0)
        text.append(1, '.').append(1, char('0' + tenths % 10));
    return text.append(tenths == 10 ? " second" : " seconds")
        .append(" (it may be on a drive or a network share that does not respond)");
}

void runOffThread(std::function<void()> work)
{
    std::thread(std::move(work)).detach();
}

std::shared_ptr<AnswerLine> AnswerLine::to(QObject* home)
{
    auto line = std::make_shared<AnswerLine>();
    line->m_home = home;
    QObject::connect(home, &QObject::destroyed, [line] { line->close(); });
    return line;
}

void AnswerLine::post(std::function<void()> answer)
{
    const std::lock_guard lock(m_mutex);
    if (m_home)
        QMetaObject::invokeMethod(m_home, std::move(answer), Qt::QueuedConnection);
}

void AnswerLine::close()
{
    const std::lock_guard lock(m_mutex);
    m_home = nullptr;
}
