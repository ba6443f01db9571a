// A direct client connection to the test display, for what the command-line tools cannot
// do: ask a window to close the way a window manager's close box does, and notice every
// window that gets mapped, however briefly.
#pragma once

#include <QString>

using XWindowId = unsigned long;

struct _XDisplay;

class XConnection {
public:
    // Connects to `displayName` (":N"); see isOpen().
    explicit XConnection(const QString& displayName);
    ~XConnection();

    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    bool isOpen() const { return m_display != nullptr; }

    // Sends WM_PROTOCOLS / WM_DELETE_WINDOW to `window`, as a window manager does when the
    // user clicks the close box. Returns whether the message was sent.
    bool sendDeleteWindow(XWindowId window);

    // From now on, counts the windows mapped anywhere on the screen.
    void watchMappedWindows();
    // How many window mappings the server has reported since watchMappedWindows().
    int mappedWindowCount();

private:
    _XDisplay* m_display = nullptr;
    int m_mapped = 0;
};
