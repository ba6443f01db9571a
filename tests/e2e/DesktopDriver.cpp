#include "DesktopDriver.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>

namespace {

constexpr int kPollMs = 50;

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

DesktopDriver::DesktopDriver(const QString& displayName) : m_displayName(displayName) {}

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
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_displayName);
    tool.setProcessEnvironment(environment);
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
// input starts by giving it to the window meant to receive it.
bool DesktopDriver::focus(XWindowId window) const
{
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("windowfocus"), QStringLiteral("--sync"), windowArgument(window)});
}

bool DesktopDriver::pressKeys(XWindowId window, const QStringList& keys) const
{
    if (!focus(window))
        return false;
    // A menu opens on one key and takes the next; the pause lets each land where it should.
    return run(QStringLiteral("xdotool"),
               QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")} + keys);
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
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("mousemove"), QStringLiteral("--window"), windowArgument(window),
                QString::number(position.x()), QString::number(position.y()), QStringLiteral("click"),
                QStringLiteral("1")});
}

bool DesktopDriver::movePointer(XWindowId window, QPoint position) const
{
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
