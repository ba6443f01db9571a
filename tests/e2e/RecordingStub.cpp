#include "RecordingStub.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

bool RecordingStub::write(const QString& scriptPath, const QString& logPath)
{
    if (logPath.contains(u'\''))
        return false;
    // Every value is printed through "%s" from a quoted expansion, so whatever the
    // arguments hold, the stub runs nothing of it.
    const QString script =
        QStringLiteral("#!/bin/sh\n"
                       "{\n"
                       "  printf 'program=%s\\n' \"$0\"\n"
                       "  printf 'cwd=%s\\n' \"$(pwd -P)\"\n"
                       "  for argument in \"$@\"; do printf 'arg=%s\\n' \"$argument\"; done\n"
                       "  printf 'end\\n'\n"
                       "} >> '%1'\n")
            .arg(logPath);
    QFile file(scriptPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = script.toUtf8();
    if (file.write(bytes) != bytes.size())
        return false;
    file.close();
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                               QFileDevice::ReadGroup | QFileDevice::ExeGroup);
}

QList<StubStart> RecordingStub::read(const QString& logPath)
{
    QFile file(logPath);
    QList<StubStart> starts;
    if (!file.open(QIODevice::ReadOnly))
        return starts;
    StubStart current;
    for (const QByteArray& rawLine : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(rawLine);
        if (line.startsWith(QStringLiteral("program=")))
            current = StubStart{line.mid(8), {}, {}};
        else if (line.startsWith(QStringLiteral("cwd=")))
            current.workingDirectory = line.mid(4);
        else if (line.startsWith(QStringLiteral("arg=")))
            current.arguments << line.mid(4);
        else if (line == QStringLiteral("end"))
            starts << current;
    }
    return starts;
}

QList<StubStart> RecordingStub::waitForStarts(const QString& logPath, int count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QList<StubStart> starts = read(logPath);
    while (starts.size() < count && !deadline.hasExpired()) {
        QThread::msleep(50);
        starts = read(logPath);
    }
    return starts;
}
