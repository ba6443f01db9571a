// One run of the real program on the test display: started in a given working directory,
// watched until it ends, killed if a test leaves it running.
#pragma once

#include "DesktopDriver.h"
#include "OrvelaneScreens.h"

#include <QProcess>
#include <QString>
#include <QTemporaryFile>

#include <optional>

class VirtualDisplay;

class E2eSession {
public:
    // A session on `display` (which must outlive it) running the program in `workingDirectory`.
    E2eSession(const VirtualDisplay& display, const QString& workingDirectory);
    // Kills the program if it is still running.
    ~E2eSession();

    E2eSession(const E2eSession&) = delete;
    E2eSession& operator=(const E2eSession&) = delete;

    // Starts the program with no arguments; whether it started.
    bool start();
    bool isRunning() const { return m_program.state() != QProcess::NotRunning; }
    // The exit code if the program ends normally within `timeoutMs`; nothing if it keeps
    // running or crashes.
    std::optional<int> waitForExit(int timeoutMs = 10000);
    // Whether the program is still running after `ms` milliseconds.
    bool keepsRunningFor(int ms);
    // Everything the program wrote to stdout and stderr, for failure messages.
    QString output();
    // How the program ended so far ("exit code 1", "crashed", "still running") and what it
    // wrote, for failure messages.
    QString howItEnded();

    // Starts the program and waits for its main window. Where either fails, the running test
    // fails there, with the reason and what the program wrote, and nothing is returned.
    std::optional<XWindowId> startToMainWindow(int timeoutMs = 10000);
    // The main window once it shows.
    std::optional<XWindowId> waitForMainWindow(int timeoutMs = 10000) const;
    // Presses `keys` on `main` and waits for the window captioned `caption`; nothing, with
    // the reason in desktop().lastError(), when it does not show.
    std::optional<XWindowId> openWindow(XWindowId main, const QStringList& keys,
                                        const QString& caption) const;
    // Opens `window` from `main` and presses its "Play the Game"; the play window, or nothing
    // after failing the running test with the desktop's reason.
    std::optional<XWindowId> pressPlay(XWindowId main, const Orvelane::PlayWindow& window) const;
    // Types `path` into the open-file dialog's name box and confirms it; whether the dialog went.
    bool chooseInOpenDialog(const QString& path) const;

    const DesktopDriver& desktop() const { return m_desktop; }

private:
    QProcess m_program;
    const VirtualDisplay& m_display;
    QString m_workingDirectory;
    DesktopDriver m_desktop;
    QTemporaryFile m_outputFile;
};
