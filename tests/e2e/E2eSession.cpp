#include "E2eSession.h"

#include "ChildProcess.h"
#include "OrvelaneScreens.h"
#include "VirtualDisplay.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QTest>

E2eSession::E2eSession(const VirtualDisplay& display, const QString& workingDirectory)
    : m_display(display), m_workingDirectory(workingDirectory), m_desktop(display)
{
}

E2eSession::~E2eSession()
{
    if (m_program.state() == QProcess::NotRunning)
        return;
    m_program.kill();
    m_program.waitForFinished(3000);
}

bool E2eSession::start()
{
    QProcessEnvironment environment = m_display.clientEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                       m_display.isWayland() ? QStringLiteral("wayland") : QStringLiteral("xcb"));
    // In a sanitizer build, leaks inside the desktop's own libraries (D-Bus, reached
    // through the X11 platform plugin) would turn every exit code into a failure.
    const QString leakOptions = environment.value(QStringLiteral("LSAN_OPTIONS"));
    environment.insert(QStringLiteral("LSAN_OPTIONS"),
                       (leakOptions.isEmpty() ? QString() : leakOptions + u':') +
                           QStringLiteral("suppressions=" ORVELANE_E2E_LSAN_SUPPRESSIONS));
    m_program.setProcessEnvironment(environment);
    m_program.setWorkingDirectory(m_workingDirectory);
    // What the program writes goes to a file, not a pipe: a pipe read only now and then fills
    // (WAYLAND_DEBUG=1 writes a line per message) and stops the program mid-write.
    if (!m_outputFile.open())
        return false;
    m_program.setProcessChannelMode(QProcess::MergedChannels);
    m_program.setStandardOutputFile(m_outputFile.fileName(), QIODevice::Append);
    E2e::endWithThisProcess(m_program);
    m_program.start(QStringLiteral(ORVELANE_PROGRAM), {});
    if (!m_program.waitForStarted(10000))
        return false;
    m_desktop.onlyWindowsOf(m_program.processId());
    return true;
}

std::optional<int> E2eSession::waitForExit(int timeoutMs)
{
    if (m_program.state() != QProcess::NotRunning && !m_program.waitForFinished(timeoutMs))
        return std::nullopt;
    if (m_program.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return m_program.exitCode();
}

bool E2eSession::keepsRunningFor(int ms)
{
    if (m_program.state() == QProcess::NotRunning)
        return false;
    return !m_program.waitForFinished(ms);
}

QString E2eSession::output()
{
    QFile written(m_outputFile.fileName());
    return written.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(written.readAll()) : QString();
}

QString E2eSession::howItEnded()
{
    QString state;
    if (m_program.state() != QProcess::NotRunning)
        state = QStringLiteral("still running");
    else if (m_program.exitStatus() != QProcess::NormalExit)
        state = QStringLiteral("crashed");
    else
        state = QStringLiteral("exit code %1").arg(m_program.exitCode());
    const QString written = output();
    return written.isEmpty() ? state : state + QStringLiteral("; it wrote:\n") + written;
}

std::optional<XWindowId> E2eSession::startToMainWindow(int timeoutMs)
{
    if (!start()) {
        QTest::qFail(qPrintable(QStringLiteral("the program did not start: ") + howItEnded()), __FILE__,
                     __LINE__);
        return std::nullopt;
    }
    const auto main = waitForMainWindow(timeoutMs);
    if (!main)
        QTest::qFail(qPrintable(m_desktop.lastError() + u' ' + howItEnded()), __FILE__, __LINE__);
    return main;
}

std::optional<XWindowId> E2eSession::waitForMainWindow(int timeoutMs) const
{
    return m_desktop.waitForWindow(Orvelane::kMainCaption, timeoutMs);
}

std::optional<XWindowId> E2eSession::openWindow(XWindowId main, const QStringList& keys,
                                                const QString& caption) const
{
    return m_desktop.pressKeys(main, keys) ? m_desktop.waitForWindow(caption) : std::nullopt;
}

std::optional<XWindowId> E2eSession::pressPlay(XWindowId main, const Orvelane::PlayWindow& window) const
{
    const auto play = openWindow(main, window.keys, window.caption);
    if (!play || !m_desktop.click(*play, window.button)) {
        QTest::qFail(qPrintable(QStringLiteral("pressing play in \"%1\": ").arg(window.caption) +
                                m_desktop.lastError()),
                     __FILE__, __LINE__);
        return std::nullopt;
    }
    return play;
}

bool E2eSession::chooseInOpenDialog(const QString& path) const
{
    const auto dialog = m_desktop.waitForWindow(QStringLiteral("Open"));
    if (!dialog || !m_desktop.typeText(*dialog, path) ||
        !m_desktop.pressKeys(*dialog, {QStringLiteral("Return")}))
        return false;
    // Return may first only close the name box's completion list.
    if (!m_desktop.waitUntilGone(*dialog, 2000) && !m_desktop.pressKeys(*dialog, {QStringLiteral("Return")}))
        return false;
    return m_desktop.waitUntilGone(*dialog);
}
