#include "VirtualDisplay.h"

#include "ChildProcess.h"

#include <QDeadlineTimer>
#include <QStandardPaths>

QStringList VirtualDisplay::missingTools()
{
    QStringList missing;
    for (const char* tool : {"Xvfb", "xdotool", "xwininfo", "import"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            missing << QString::fromLatin1(tool);
    }
    return missing;
}

VirtualDisplay::~VirtualDisplay()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(3000)) {
        m_server.kill();
        m_server.waitForFinished(3000);
    }
}

bool VirtualDisplay::start(int timeoutMs)
{
    // -displayfd picks a free display number and writes it once the server is ready, so
    // neither a fixed number nor a race with other test runs is involved.
    m_server.setProgram(QStringLiteral("Xvfb"));
    m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                           QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                           QStringLiteral("tcp"), QStringLiteral("-noreset")});
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
