#include "DesktopDriver.h"

#include "VirtualDisplay.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

namespace {

constexpr int kPollMs = 50;

// How Weston names the role of a menu's surface, and of a window's.
const QString kPopup = QStringLiteral("xdg_popup");
const QString kTopLevel = QStringLiteral("xdg_toplevel");

QString windowArgument(XWindowId window)
{
    return QString::number(window);
}

// One "Label: value" line of xwininfo's report.
std::optional<int> xwininfoNumber(const QByteArray& report, const char* label)
{
    const QRegularExpression line(QStringLiteral("^\\s*%1:\\s*(-?\\d+)\\s*$").arg(QString::fromLatin1(label)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(QString::fromLatin1(report));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt();
}

} // namespace

DesktopDriver::DesktopDriver(const VirtualDisplay& display)
    : m_displayName(display.name()), m_wayland(display.isWayland()),
      m_environment(display.clientEnvironment())
{
    m_environment.insert(QStringLiteral("DISPLAY"), m_displayName);
    // WAYLAND_DEBUG is meant for the program under test, not for weston-debug.
    m_environment.remove(QStringLiteral("WAYLAND_DEBUG"));
}

DesktopDriver::~DesktopDriver()
{
    m_protocolLog.kill();
    m_protocolLog.waitForFinished(3000);
}

QString DesktopDriver::exactPattern(const QString& text)
{
    static const QString special = QStringLiteral("\\^$.|?*+()[]{}");
    QString pattern = QStringLiteral("^");
    for (const QChar c : text) {
        if (special.contains(c))
            pattern += u'\\';
        pattern += c;
    }
    return pattern + u'$';
}

bool DesktopDriver::run(const QString& program, const QStringList& arguments, QByteArray* output,
                        int timeoutMs) const
{
    QProcess tool;
    tool.setProcessEnvironment(m_environment);
    tool.start(program, arguments);
    if (!tool.waitForFinished(timeoutMs)) {
        tool.kill();
        tool.waitForFinished(1000);
        m_lastError = program + u' ' + arguments.join(u' ') + QStringLiteral(": no answer in time");
        return false;
    }
    if (output)
        *output = tool.readAllStandardOutput();
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        m_lastError = program + u' ' + arguments.join(u' ') + QStringLiteral(": ") +
                      QString::fromLocal8Bit(tool.readAllStandardError()).trimmed();
        return false;
    }
    return true;
}

QList<XWindowId> DesktopDriver::visibleWindows(const QString& caption) const
{
    if (m_wayland) {
        QList<XWindowId> windows;
        for (const Shown& shown : shownOnWayland()) {
            if (shown.caption == caption)
                windows << shown.id;
        }
        return windows;
    }
    QByteArray output;
    // xdotool matches case-insensitively; the exact comparison below is ours.
    run(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
         exactPattern(caption)},
        &output);
    QList<XWindowId> windows;
    for (const QByteArray& line : output.split('\n')) {
        bool isNumber = false;
        const XWindowId window = line.trimmed().toULong(&isNumber);
        if (!isNumber)
            continue;
        QByteArray name;
        if (run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), windowArgument(window)},
                &name) &&
            QString::fromUtf8(name.chopped(name.endsWith('\n') ? 1 : 0)) == caption)
            windows << window;
    }
    return windows;
}

std::optional<XWindowId> DesktopDriver::waitForWindow(const QString& caption, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        const QList<XWindowId> windows = visibleWindows(caption);
        if (!windows.isEmpty())
            return windows.first();
        QThread::msleep(kPollMs);
    } while (!deadline.hasExpired());
    m_lastError = QStringLiteral("no window \"%1\" within %2 ms").arg(caption).arg(timeoutMs);
    return std::nullopt;
}

bool DesktopDriver::isVisible(XWindowId window) const
{
    if (m_wayland)
        return shownOnWayland(window).has_value();
    QByteArray report;
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowArgument(window)}, &report) &&
           report.contains("Map State: IsViewable");
}

bool DesktopDriver::waitUntilGone(XWindowId window, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        if (!isVisible(window))
            return true;
        QThread::msleep(kPollMs);
    } while (!deadline.hasExpired());
    m_lastError = QStringLiteral("window %1 still shown after %2 ms").arg(window).arg(timeoutMs);
    return false;
}

std::optional<QRect> DesktopDriver::geometry(XWindowId window) const
{
    if (m_wayland) {
        const auto shown = shownOnWayland(window);
        return shown ? std::optional(shown->client) : std::nullopt;
    }
    QByteArray report;
    if (!run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowArgument(window)}, &report))
        return std::nullopt;
    const auto x = xwininfoNumber(report, "Absolute upper-left X");
    const auto y = xwininfoNumber(report, "Absolute upper-left Y");
    const auto width = xwininfoNumber(report, "Width");
    const auto height = xwininfoNumber(report, "Height");
    if (!x || !y || !width || !height) {
        m_lastError = QStringLiteral("unreadable xwininfo report: ") + QString::fromLatin1(report);
        return std::nullopt;
    }
    return QRect(*x, *y, *width, *height);
}

// Without a window manager nobody hands the focus on when a modal window closes, so every
// input starts by giving it to the window meant to receive it. Weston gives it to the window
// clicked: in the corner of its client area, where no control lies (a press on the title bar
// would start moving the window), the pointer going back where it was.
bool DesktopDriver::focus(XWindowId window) const
{
    if (m_wayland)
        return clickOnWayland(window, {}, false);
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("windowfocus"), QStringLiteral("--sync"), windowArgument(window)});
}

bool DesktopDriver::pressKeys(XWindowId window, const QStringList& keys) const
{
    if (!focus(window))
        return false;
    if (m_wayland)
        return pressKeysOnWayland(keys);
    // A menu opens on one key and takes the next; the pause lets each land where it should.
    return run(QStringLiteral("xdotool"),
               QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")} + keys);
}

// Qt asks Weston for a menu with the serial of the key press that opens it, and Weston grants a
// menu only for the latest input event's serial. On a busy machine Weston may pass on a press
// and its release together, before the program has asked: the menu is refused, closes at once,
// and the keys after it land elsewhere. So each key is held, as a person holds one, until what
// it opens is there: a menu, or a window. A key that closes a menu these keys opened, or a
// window, is let go once it has gone. Only the program's own menus and windows count, by their
// surfaces; a repaint, a moving pointer or a tooltip going away do not. A key that opens nothing
// is let go after a moment: up to three seconds for one that may open something (a letter, a
// chord such as "alt+v", Return), a fifth of a second for one that only moves or cancels.
bool DesktopDriver::pressKeysOnWayland(const QStringList& keys) const
{
    static const QSet<QString> mayOpen{QStringLiteral("Return"), QStringLiteral("KP_Enter"),
                                       QStringLiteral("space"), QStringLiteral("Right")};
    QSet<QString> menusOpened;
    for (const QString& key : keys) {
        const auto before = surfacesOnWayland();
        if (!before || !run(QStringLiteral("xdotool"), {QStringLiteral("keydown"), key}))
            return false;
        const bool opening = key.size() == 1 || key.contains(u'+') || mayOpen.contains(key);
        const QDeadlineTimer deadline(opening ? 3000 : 200);
        for (bool done = false; !done && !deadline.hasExpired();) {
            QThread::msleep(kPollMs);
            const auto now = surfacesOnWayland();
            if (!now)
                continue;
            for (const QString& surface : *now - *before) {
                done = true;
                if (surface.startsWith(kPopup))
                    menusOpened << surface;
            }
            for (const QString& surface : *before - *now)
                done = done || !surface.startsWith(kPopup) || menusOpened.contains(surface);
        }
        if (!run(QStringLiteral("xdotool"), {QStringLiteral("keyup"), key}))
            return false;
    }
    return true;
}

bool DesktopDriver::typeText(XWindowId window, const QString& text) const
{
    if (!focus(window))
        return false;
    return run(
        QStringLiteral("xdotool"),
        {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), QStringLiteral("--"), text},
        nullptr, 20000);
}

bool DesktopDriver::click(XWindowId window, QPoint position) const
{
    if (m_wayland)
        return clickOnWayland(window, position, true);
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("mousemove"), QStringLiteral("--window"), windowArgument(window),
                QString::number(position.x()), QString::number(position.y()), QStringLiteral("click"),
                QStringLiteral("1")});
}

bool DesktopDriver::movePointer(XWindowId window, QPoint position) const
{
    if (m_wayland) {
        // A pointer moved by hand comes into a window and goes on moving inside it. One jump
        // gives Weston only the coming in, which Qt drops for a window a modal one blocks, so
        // the pointer arrives in two steps, the last pixel on its own.
        const auto shown = shownOnWayland(window);
        const QPoint to = shown ? shown->client.topLeft() + position : QPoint();
        const auto from = pointerOnWayland();
        if (!shown || !run(QStringLiteral("xdotool"),
                           {QStringLiteral("mousemove"), QString::number(to.x() - 1), QString::number(to.y()),
                            QStringLiteral("mousemove"), QString::number(to.x()), QString::number(to.y())}))
            return false;
        if (!from)
            return true;
        // Weston draws the pointer into the screen itself: a picture taken before it has moved
        // the pointer's image would show it in its old place. So the move ends once Weston has
        // the image where the pointer now is (the same arrow, moved as far as the pointer).
        const QPoint expected = from->image + to - from->at;
        const QDeadlineTimer deadline(1000);
        for (auto now = from; now && now->image != expected && !deadline.hasExpired();
             now = pointerOnWayland())
            QThread::msleep(kPollMs / 5);
        return true;
    }
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("mousemove"), QStringLiteral("--window"), windowArgument(window),
                QString::number(position.x()), QString::number(position.y())});
}

bool DesktopDriver::screenshot(const QString& pngPath, std::optional<QRect> area) const
{
    QStringList arguments{QStringLiteral("-window"), QStringLiteral("root")};
    if (area) {
        arguments << QStringLiteral("-crop")
                  << QStringLiteral("%1x%2+%3+%4")
                         .arg(area->width())
                         .arg(area->height())
                         .arg(area->x())
                         .arg(area->y())
                  << QStringLiteral("+repage");
    }
    return run(QStringLiteral("import"), arguments << pngPath, nullptr, 15000);
}

QByteArray DesktopDriver::grabPixels(const QRect& area) const
{
    QByteArray pixels;
    const QString crop =
        QStringLiteral("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
    if (!run(QStringLiteral("import"),
             {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"), crop,
              QStringLiteral("+repage"), QStringLiteral("-depth"), QStringLiteral("8"),
              QStringLiteral("rgb:-")},
             &pixels, 15000))
        return {};
    return pixels;
}

bool DesktopDriver::closeWindow(XWindowId window) const
{
    if (m_wayland) {
        // Qt's close box: the rightmost of the title bar's buttons.
        const auto shown = shownOnWayland(window);
        return shown && clickOnWayland(window,
                                       {shown->frame.right() - 18 - shown->client.left(),
                                        (shown->frame.top() - shown->client.top()) / 2},
                                       false);
    }
    XConnection x(m_displayName);
    return x.sendDeleteWindow(window);
}

bool DesktopDriver::dragAwayFrom(XWindowId window, XWindowId other) const
{
    const auto shown = shownOnWayland(window);
    const auto below = shownOnWayland(other);
    if (!shown || !below)
        return false;
    const QRect screen(0, 0, 1024, 768);
    const QPoint corner(
        below->frame.center().x() < screen.center().x() ? screen.width() - shown->frame.width() : 0,
        below->frame.center().y() < screen.center().y() ? screen.height() - shown->frame.height() : 0);
    const QPoint grip(shown->frame.left() + shown->frame.width() / 3,
                      (shown->frame.top() + shown->client.top()) / 2);
    const QPoint to = grip + corner - shown->frame.topLeft();
    // Qt asks Weston to move the window once it has the press; the pause lets that land
    // before the pointer goes.
    if (!run(QStringLiteral("xdotool"),
             {QStringLiteral("mousemove"), QString::number(grip.x()), QString::number(grip.y()),
              QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("sleep"),
              QStringLiteral("0.3"), QStringLiteral("mousemove"), QString::number(to.x()),
              QString::number(to.y()), QStringLiteral("mouseup"), QStringLiteral("1")}))
        return false;
    const QDeadlineTimer deadline(5000);
    do {
        const auto moved = shownOnWayland(window);
        if (moved && moved->frame.topLeft() == corner)
            return true;
        QThread::msleep(kPollMs);
    } while (!deadline.hasExpired());
    m_lastError =
        QStringLiteral("window %1 was not dragged to %2,%3").arg(window).arg(corner.x()).arg(corner.y());
    return false;
}

// Clicks `position` of the window's client area (above it, its title bar), and without `stay`
// puts the pointer back where it was; no position is the bottom-left corner of the client area.
// Weston hands the pointer to a window it has just put up only from its next repaint on, and a
// click before then lands on whatever lay there before (the desktop, and the click is lost). So
// the pointer goes there first, and the click waits until the program has it: Qt puts up its
// own pointer image as the pointer comes in.
bool DesktopDriver::clickOnWayland(XWindowId window, QPoint position, bool stay) const
{
    const auto shown = shownOnWayland(window);
    const auto from = pointerOnWayland();
    if (!shown)
        return false;
    if (!stay && position.isNull())
        position = {1, shown->client.height() - 2};
    const QPoint at = shown->client.topLeft() + position;
    if (!run(QStringLiteral("xdotool"),
             {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())}))
        return false;
    const QDeadlineTimer deadline(3000);
    auto now = pointerOnWayland();
    for (; m_program != 0 && (!now || now->owner != m_program) && !deadline.hasExpired();
         now = pointerOnWayland())
        QThread::msleep(kPollMs / 5);
    if (m_program != 0 && (!now || now->owner != m_program)) {
        m_lastError =
            QStringLiteral("the pointer at (%1, %2) never came to the program").arg(at.x()).arg(at.y());
        return false;
    }
    QStringList arguments{QStringLiteral("click"), QStringLiteral("1")};
    if (!stay && from)
        arguments << QStringLiteral("mousemove") << QString::number(from->at.x())
                  << QString::number(from->at.y());
    return run(QStringLiteral("xdotool"), arguments);
}

QList<DesktopDriver::Shown> DesktopDriver::shownOnWayland() const
{
    QByteArray report;
    if (!run(QStringLiteral("weston-debug"), {QStringLiteral("scene-graph")}, &report))
        return {};
    // A view of a top-level window: where its surface lies and, opaque, the client area in it.
    static const QRegularExpression view(
        QStringLiteral("PID (\\d+), surface ID (\\d+), top-level window '(.*)' of .*\\n"
                       "\\s*position: \\((-?\\d+), (-?\\d+)\\) -> \\((-?\\d+), (-?\\d+)\\)\\n\\s*\\[opaque: "
                       "\\((-?\\d+), (-?\\d+)\\) -> \\((-?\\d+), (-?\\d+)\\)\\]"));
    QList<Shown> windows;
    auto matches = view.globalMatch(QString::fromUtf8(report));
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const auto number = [&match](int index) { return match.captured(index).toInt(); };
        const qint64 pid = match.captured(1).toLongLong();
        if (m_program == 0 || pid == m_program)
            windows << Shown{match.captured(2).toULong(), match.captured(3),
                             QRect(QPoint(number(4), number(5)), QPoint(number(6) - 1, number(7) - 1)),
                             QRect(QPoint(number(8), number(9)), QPoint(number(10) - 1, number(11) - 1))};
    }
    return windows;
}

std::optional<DesktopDriver::Shown> DesktopDriver::shownOnWayland(XWindowId window) const
{
    for (const Shown& shown : shownOnWayland()) {
        if (shown.id == window)
            return shown;
    }
    m_lastError = QStringLiteral("Weston shows no window %1").arg(window);
    return std::nullopt;
}

std::optional<DesktopDriver::Pointer> DesktopDriver::pointerOnWayland() const
{
    QByteArray report, location;
    if (!run(QStringLiteral("xdotool"), {QStringLiteral("getmouselocation"), QStringLiteral("--shell")},
             &location) ||
        !run(QStringLiteral("weston-debug"), {QStringLiteral("scene-graph")}, &report))
        return std::nullopt;
    static const QRegularExpression at(QStringLiteral("X=(-?\\d+)\\s+Y=(-?\\d+)"));
    static const QRegularExpression image(
        QStringLiteral("\\(role wl_pointer-cursor, PID (\\d+),.*\\n\\s*position: \\((-?\\d+), (-?\\d+)\\)"));
    const QRegularExpressionMatch place = at.match(QString::fromLatin1(location));
    const QRegularExpressionMatch drawn = image.match(QString::fromUtf8(report));
    if (!place.hasMatch() || !drawn.hasMatch())
        return std::nullopt;
    return Pointer{{place.captured(1).toInt(), place.captured(2).toInt()},
                   {drawn.captured(2).toInt(), drawn.captured(3).toInt()},
                   drawn.captured(1).toLongLong()};
}

std::optional<QSet<QString>> DesktopDriver::surfacesOnWayland() const
{
    QByteArray report;
    if (!run(QStringLiteral("weston-debug"), {QStringLiteral("scene-graph")}, &report))
        return std::nullopt;
    static const QRegularExpression view(
        QStringLiteral("\\(role (%1|%2), PID (\\d+), surface ID (\\d+),.*\\n\\s*position: (.*)\\n")
            .arg(kPopup, kTopLevel));
    QSet<QString> surfaces;
    auto matches = view.globalMatch(QString::fromUtf8(report));
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        if (m_program == 0 || match.captured(2).toLongLong() == m_program)
            surfaces << match.captured(1) + u' ' + match.captured(3) + u' ' + match.captured(4);
    }
    return surfaces;
}

void DesktopDriver::watchNewWindows()
{
    m_protocol.clear();
    if (!m_wayland) {
        m_x = std::make_unique<XConnection>(m_displayName);
        m_x->watchMappedWindows();
        return;
    }
    // Weston's record of every request its clients make, as it handles them.
    m_protocolLog.setProcessEnvironment(m_environment);
    m_protocolLog.start(QStringLiteral("weston-debug"), {QStringLiteral("proto")});
    m_protocolLog.waitForStarted(5000);
}

int DesktopDriver::newWindowCount()
{
    if (!m_wayland)
        return m_x ? m_x->mappedWindowCount() : 0;
    // A round trip through Weston after the others' requests: their records are written by
    // then, and read until the stream has been quiet for a moment.
    run(QStringLiteral("weston-debug"), {QStringLiteral("scene-graph")});
    while (m_protocolLog.waitForReadyRead(100))
        m_protocol += m_protocolLog.readAllStandardOutput();
    m_protocol += m_protocolLog.readAllStandardOutput();
    // Weston stops for a reader that stops reading.
    m_protocolLog.kill();
    m_protocolLog.waitForFinished(3000);
    return int(m_protocol.count("get_toplevel("));
}
