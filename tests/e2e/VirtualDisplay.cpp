#include "VirtualDisplay.h"

#include "ChildProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QStandardPaths>

namespace {

const QString kWaylandSocket = QStringLiteral("orvelane-e2e");

// A plain background and no panel: the windows are all there is to see and to find.
constexpr char kWestonConfig[] = "[core]\nidle-time=0\n[shell]\nbackground-color=0xff204060\n"
                                 "panel-position=none\nlocking=false\n";

void stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

} // namespace

bool VirtualDisplay::testsWayland()
{
    return qEnvironmentVariable("ORVELANE_E2E_DISPLAY") == QLatin1String("wayland");
}

QStringList VirtualDisplay::missingTools()
{
    QStringList tools{QStringLiteral("Xvfb"), QStringLiteral("xdotool"), QStringLiteral("xwininfo"),
                      QStringLiteral("import")};
    if (testsWayland())
        tools << QStringLiteral("weston") << QStringLiteral("weston-debug");
    QStringList missing;
    for (const QString& tool : tools) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            missing << tool;
    }
    const QString plugin =
        QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/libqwayland-generic.so");
    if (testsWayland() && !QFile::exists(plugin))
        missing << QStringLiteral("qt6-wayland");
    return missing;
}

VirtualDisplay::~VirtualDisplay()
{
    stop(m_compositor);
    stop(m_server);
}

bool VirtualDisplay::start(int timeoutMs)
{
    return startXvfb(timeoutMs) && (!testsWayland() || startWeston(timeoutMs));
}

bool VirtualDisplay::startXvfb(int timeoutMs)
{
    // -displayfd picks a free display number and writes it once the server is ready, so
    // neither a fixed number nor a race with other test runs is involved.
    m_server.setProgram(QStringLiteral("Xvfb"));
    // Under Weston, a strip below its window lets the pointer leave the window (startWeston).
    m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                           QStringLiteral("0"),
                           testsWayland() ? QStringLiteral("1024x800x24") : QStringLiteral("1024x768x24"),
                           QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    E2e::endWithThisProcess(m_server);
    m_server.start();
    if (!m_server.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("Xvfb did not start: ") + m_server.errorString();
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray written;
    while (!written.contains('\n')) {
        if (deadline.hasExpired() || m_server.state() == QProcess::NotRunning) {
            m_error = QStringLiteral("Xvfb gave no display number: ") +
                      QString::fromLocal8Bit(m_server.readAllStandardError());
            return false;
        }
        m_server.waitForReadyRead(50);
        written += m_server.readAllStandardOutput();
    }
    bool isNumber = false;
    const int number = written.trimmed().toInt(&isNumber);
    if (!isNumber) {
        m_error = QStringLiteral("Xvfb wrote no display number: ") + QString::fromLatin1(written);
        return false;
    }
    m_name = QStringLiteral(":%1").arg(number);
    return true;
}

// Weston's window fills the X screen from its top-left corner, so a point of Weston's desktop
// is the same point of the X screen. --debug lets weston-debug list where it put each window.
bool VirtualDisplay::startWeston(int timeoutMs)
{
    const QString runtime = m_runtimeDirectory.path();
    QFile config(runtime + QStringLiteral("/weston.ini"));
    if (!m_runtimeDirectory.isValid() || !config.open(QIODevice::WriteOnly) ||
        config.write(kWestonConfig) < 0) {
        m_error = QStringLiteral("no runtime directory for Weston");
        return false;
    }
    config.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_name);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // WAYLAND_DEBUG is meant for the program under test: Weston would log every message too.
    environment.remove(QStringLiteral("WAYLAND_DEBUG"));
    m_compositor.setProcessEnvironment(environment);
    // Its log goes to a file: a pipe nobody reads would fill and stop Weston.
    const QString log = runtime + QStringLiteral("/weston.log");
    m_compositor.setProcessChannelMode(QProcess::MergedChannels);
    m_compositor.setStandardOutputFile(log);
    E2e::endWithThisProcess(m_compositor);
    m_wayland = true;
    m_compositor.start(QStringLiteral("weston"),
                       {QStringLiteral("--backend=x11-backend.so"), QStringLiteral("--use-pixman"),
                        QStringLiteral("--width=1024"), QStringLiteral("--height=768"),
                        QStringLiteral("--socket=") + kWaylandSocket, QStringLiteral("--debug"),
                        QStringLiteral("--config=") + config.fileName()});
    // The desktop is ready once the shell has put up its background.
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired() && m_compositor.state() != QProcess::NotRunning) {
        QProcess sceneGraph;
        sceneGraph.setProcessEnvironment(clientEnvironment());
        sceneGraph.start(QStringLiteral("weston-debug"), {QStringLiteral("scene-graph")});
        if (sceneGraph.waitForFinished(2000) && sceneGraph.readAllStandardOutput().contains("background for"))
            return placeWestonsPointer();
        m_compositor.waitForFinished(50);
    }
    m_wayland = false;
    QFile written(log);
    m_error = QStringLiteral("Weston did not start: ") +
              (written.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(written.readAll()) : QString());
    return false;
}

// Weston's X11 back end follows the X pointer by how far it moves from where it last came into
// Weston's window, and may start without knowing where that was: the pointer leaves the window
// for the strip below it and comes back, and Weston has it where X has it.
bool VirtualDisplay::placeWestonsPointer()
{
    QProcess xdotool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_name);
    xdotool.setProcessEnvironment(environment);
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("mousemove"), QStringLiteral("512"), QStringLiteral("790"),
                   QStringLiteral("mousemove"), QStringLiteral("512"), QStringLiteral("384")});
    if (xdotool.waitForFinished(5000) && xdotool.exitCode() == 0)
        return true;
    m_error = QStringLiteral("xdotool could not move the pointer into Weston's window");
    return false;
}

QProcessEnvironment VirtualDisplay::clientEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!m_wayland) {
        environment.insert(QStringLiteral("DISPLAY"), m_name);
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    } else {
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), kWaylandSocket);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDirectory.path());
        environment.remove(QStringLiteral("DISPLAY"));
    }
    return environment;
}
