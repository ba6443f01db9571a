// A stand-in for an emulator: a small shell script that appends, for each start, the path
// it was started as, its working directory and its arguments to a log file.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One start of a stub, as the stub saw it.
struct StubStart {
    QString program;          // $0: the path it was started as
    QString workingDirectory; // physical path
    QStringList arguments;
};

class RecordingStub {
public:
    // Writes an executable stub to `scriptPath` that logs to `logPath`. The log path must
    // hold no single quote (it is written into the script literally).
    static bool write(const QString& scriptPath, const QString& logPath);

    // Every complete start recorded in `logPath`, oldest first.
    static QList<StubStart> read(const QString& logPath);

    // Waits, at most `timeoutMs`, until `logPath` records `count` starts; returns them all.
    static QList<StubStart> waitForStarts(const QString& logPath, int count, int timeoutMs = 10000);
};
