// A display of our own for one test executable: an Xvfb server on a display number it picks
// itself and, where ORVELANE_E2E_DISPLAY is "wayland", a Weston compositor shown in it. Weston
// runs on its X11 back end there, so xdotool moves its pointer and presses its keys.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class VirtualDisplay {
public:
    // Whether the tests run the program on Wayland (ORVELANE_E2E_DISPLAY=wayland) or on X11.
    static bool testsWayland();
    // The outside tools the end-to-end tests drive the program with; those not installed.
    static QStringList missingTools();

    VirtualDisplay() = default;
    // Stops the servers and waits for them.
    ~VirtualDisplay();

    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // Starts Xvfb with one 1024 x 768 x 24 screen, and Weston's 1024 x 768 window at its top-left
    // corner when testing Wayland (the X screen 32 pixels taller),
    // and waits, at most `timeoutMs`, until they accept clients. On failure, `error()` says why.
    bool start(int timeoutMs = 10000);

    // ":N", the X display that xdotool and import drive; empty before a successful start.
    QString name() const { return m_name; }
    bool isWayland() const { return m_wayland; }
    // The environment of a program shown on this display: DISPLAY, or under Wayland the
    // compositor's socket and runtime directory, and no way to the X server.
    QProcessEnvironment clientEnvironment() const;
    QString error() const { return m_error; }

private:
    bool startXvfb(int timeoutMs);
    bool startWeston(int timeoutMs);
    bool placeWestonsPointer();

    QProcess m_server;
    QProcess m_compositor;
    QTemporaryDir m_runtimeDirectory;
    QString m_name;
    bool m_wayland = false;
    QString m_error;
};
