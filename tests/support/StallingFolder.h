// A folder on a file system that stops answering: stallfs (stallfs.c) shows a backing folder
// at a mount point and holds the opens, reads or writes of the files whose names hold a given
// name (a file and its temporaries) until freed.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <unistd.h>

namespace support {

class StallingFolder {
public:
    // Why no such folder can be made here, or empty when it can: FUSE needs root and /dev/fuse.
    static QString unavailable()
    {
        if (QStringLiteral(ORVELANE_STALLFS).isEmpty())
            return QStringLiteral("the tests were built without libfuse3");
        if (::geteuid() != 0)
            return QStringLiteral("a FUSE file system of the tests' own needs root");
        if (!QFileInfo::exists(QStringLiteral("/dev/fuse")))
            return QStringLiteral("this machine has no /dev/fuse");
        return {};
    }

    // Shows a fresh backing folder at a fresh mount point, holding `hold` ("open read write")
    // of any file whose name holds `name` for at most `limitSeconds` each.
    StallingFolder(const QString& name, const QString& hold, int limitSeconds = 20)
    {
        if (!m_backing.isValid() || !m_mount.isValid())
            return;
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.start(QStringLiteral(ORVELANE_STALLFS),
                       QStringList{m_backing.path(), m_mount.path(), name, QString::number(limitSeconds)} +
                           hold.split(u' '));
        m_mounted = waitFor("ready", 10000);
    }

    // Frees what is held and ends the file system, whatever state the test left it in.
    ~StallingFolder()
    {
        m_server.closeWriteChannel();
        if (!m_server.waitForFinished(10000))
            m_server.kill();
        m_server.waitForFinished(2000);
        ::umount2(QFile::encodeName(m_mount.path()).constData(), MNT_DETACH);
    }
    StallingFolder(const StallingFolder&) = delete;
    StallingFolder& operator=(const StallingFolder&) = delete;

    bool isMounted() const { return m_mounted; }
    // Where the files go before they are shown, and where they are shown.
    QString backing(const QString& name = {}) const { return QDir(m_backing.path()).filePath(name); }
    QString path(const QString& name = {}) const { return QDir(m_mount.path()).filePath(name); }

    // Answers what is held and holds no more; hold() holds again. Each returns once the file
    // system has taken it in.
    bool free() { return tell("free\n", "now free"); }
    bool hold() { return tell("hold\n", "now holding"); }

    // How many requests have been held so far, counting those reported by now.
    int held()
    {
        m_server.waitForReadyRead(0);
        m_output += m_server.readAll();
        return int(m_output.count("held "));
    }

    // Waits up to `ms` until some request is being held.
    bool waitUntilHeld(int ms = 10000) { return waitFor("held ", ms); }

private:
    bool tell(const char* command, const char* acknowledgement)
    {
        const qsizetype before = m_output.count(acknowledgement);
        m_server.write(command);
        QElapsedTimer clock;
        clock.start();
        while (m_output.count(acknowledgement) == before && clock.elapsed() < 10000 &&
               m_server.state() != QProcess::NotRunning) {
            m_server.waitForReadyRead(50);
            m_output += m_server.readAll();
        }
        return m_output.count(acknowledgement) > before;
    }

    bool waitFor(const char* line, int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_output.contains(line) && clock.elapsed() < ms && m_server.state() != QProcess::NotRunning) {
            m_server.waitForReadyRead(50);
            m_output += m_server.readAll();
        }
        return m_output.contains(line);
    }

    QTemporaryDir m_backing;
    QTemporaryDir m_mount;
    QProcess m_server;
    QByteArray m_output;
    bool m_mounted = false;
};

} // namespace support
