#include "XConnection.h"

#include <X11/Xlib.h>

namespace {

// A window that vanished between being found and being told to close is not the test's
// failure to report here; the caller sees the result of its own wait.
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

XConnection::XConnection(const QString& displayName)
{
    XSetErrorHandler(ignoreErrors);
    m_display = XOpenDisplay(displayName.toLocal8Bit().constData());
}

XConnection::~XConnection()
{
    if (m_display)
        XCloseDisplay(m_display);
}

bool XConnection::sendDeleteWindow(XWindowId window)
{
    if (!m_display)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(m_display, window, False, NoEventMask, &event);
    XSync(m_display, False);
    return sent != 0;
}

void XConnection::watchMappedWindows()
{
    if (!m_display)
        return;
    XSelectInput(m_display, DefaultRootWindow(m_display), SubstructureNotifyMask);
    XSync(m_display, True);
    m_mapped = 0;
}

int XConnection::mappedWindowCount()
{
    if (!m_display)
        return 0;
    // The round trip makes the server hand over every event caused by requests it has
    // already processed, including those of a client that has since gone.
    XSync(m_display, False);
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == MapNotify)
            ++m_mapped;
    }
    return m_mapped;
}
