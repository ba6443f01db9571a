// Drives the test display as a user would, through xdotool, and reads it back through
// xwininfo and ImageMagick's import; under Wayland, Weston says where it put each window
// (weston-debug), and a window is known by its surface's number. Every call is bounded in
// time: a tool that hangs is killed and the call fails.
#pragma once

#include "XConnection.h"

#include <QList>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class VirtualDisplay;

class DesktopDriver {
public:
    // Drives `display`, which must outlive the driver.
    explicit DesktopDriver(const VirtualDisplay& display);
    ~DesktopDriver();

    // From now on, finds only the windows of the program with process ID `pid`: under Wayland
    // those of a program just killed may linger for a moment.
    void onlyWindowsOf(qint64 pid) { m_program = pid; }

    // Mapped top-level windows whose caption is exactly `caption`.
    QList<XWindowId> visibleWindows(const QString& caption) const;
    // The first such window to show within `timeoutMs`.
    std::optional<XWindowId> waitForWindow(const QString& caption, int timeoutMs = 10000) const;
    // Whether `window` is unmapped or destroyed within `timeoutMs`.
    bool waitUntilGone(XWindowId window, int timeoutMs = 10000) const;
    // Whether `window` is mapped and viewable.
    bool isVisible(XWindowId window) const;

    // The window's rectangle on the screen, without the frame around it (on X11 there is no
    // window manager; on Wayland, Qt draws the title bar itself, above this rectangle).
    std::optional<QRect> geometry(XWindowId window) const;
    // On Wayland: drags `window` by its title bar into the corner of the screen farthest from
    // `other`, clear of it, and waits until it is there.
    bool dragAwayFrom(XWindowId window, XWindowId other) const;
    // Asks `window` to close as its close box does.
    bool closeWindow(XWindowId window) const;
    // From now on, counts the windows the display shows, however briefly.
    void watchNewWindows();
    // How many windows the display has shown since watchNewWindows(); the watch ends.
    int newWindowCount();

    // Gives `window` the keyboard focus, and so makes its program the active one.
    bool focus(XWindowId window) const;
    // Gives `window` the keyboard focus, then presses each of `keys` in turn
    // (xdotool names: "alt+p", "Return", "Escape").
    bool pressKeys(XWindowId window, const QStringList& keys) const;
    // Gives `window` the keyboard focus, then types `text` character by character.
    bool typeText(XWindowId window, const QString& text) const;
    // Moves the pointer to `position`, relative to the window's top-left corner, and clicks
    // the left button.
    bool click(XWindowId window, QPoint position) const;
    // Moves the pointer to `position`, relative to the window's top-left corner.
    bool movePointer(XWindowId window, QPoint position) const;

    // Saves the whole screen, or `area` of it, as a PNG file.
    bool screenshot(const QString& pngPath, std::optional<QRect> area = std::nullopt) const;
    // The pixels of `area` of the screen, three bytes each, row by row; empty on failure.
    QByteArray grabPixels(const QRect& area) const;

    // What went wrong in the last failed call, for test messages.
    QString lastError() const { return m_lastError; }

    // An extended regular expression that matches `text` and nothing else (xdotool's
    // --name takes one).
    static QString exactPattern(const QString& text);

private:
    // A window as Weston lists it: its surface number, caption, frame and client area.
    struct Shown {
        XWindowId id;
        QString caption;
        QRect frame, client;
    };

    bool run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
             int timeoutMs = 5000) const;
    QList<Shown> shownOnWayland() const;
    std::optional<Shown> shownOnWayland(XWindowId window) const;
    // The program's menus and windows that Weston shows, each as its role, surface number and
    // place; nothing when Weston does not answer.
    std::optional<QSet<QString>> surfacesOnWayland() const;
    // Where the pointer is, where Weston draws its image (the image's top-left corner) and
    // whose image it is (the process that put it up); nothing where Weston draws none or does
    // not answer.
    struct Pointer {
        QPoint at, image;
        qint64 owner = 0;
    };
    std::optional<Pointer> pointerOnWayland() const;
    bool clickOnWayland(XWindowId window, QPoint position, bool stay) const;
    bool pressKeysOnWayland(const QStringList& keys) const;

    QString m_displayName;
    bool m_wayland = false;
    QProcessEnvironment m_environment;
    qint64 m_program = 0;
    std::unique_ptr<XConnection> m_x;
    QProcess m_protocolLog;
    QByteArray m_protocol;
    mutable QString m_lastError;
};
