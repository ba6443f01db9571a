// An Xvfb server of our own for one test executable, on a display number it picks itself.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

class VirtualDisplay {
public:
    // The outside tools the end-to-end tests drive the program with; those not on PATH.
    static QStringList missingTools();

    VirtualDisplay() = default;
    // Stops the server and waits for it.
    ~VirtualDisplay();

    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // Starts Xvfb with one 1024 x 768 x 24 screen and waits, at most `timeoutMs`, until it
    // accepts clients. On failure, `error()` says why.
    bool start(int timeoutMs = 10000);

    // ":N", the value for DISPLAY; empty before a successful start.
    QString name() const { return m_name; }
    QString error() const { return m_error; }

private:
    QProcess m_server;
    QString m_name;
    QString m_error;
};
