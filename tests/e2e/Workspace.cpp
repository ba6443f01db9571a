#include "Workspace.h"

#include "Files.h"
#include "SettingsBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

Workspace::Workspace() : m_workingDirectory(m_root.path()) {}

QString Workspace::useWorkingDirectory(const QString& name)
{
    m_workingDirectory = m_root.filePath(name);
    QDir().mkpath(m_workingDirectory);
    return m_workingDirectory;
}

QString Workspace::rootPath(const QString& relative) const
{
    return relative.isEmpty() ? m_root.path() : m_root.filePath(relative);
}

QByteArray Workspace::settingsBytes(const Switches& switches)
{
    return support::settingsBytes(0, 0, switches.noScanlines, switches.enableVsync, switches.vgaMode,
                                  switches.frameSkip);
}

bool Workspace::writeSettings(const Switches& switches)
{
    return writeFile(QStringLiteral("ORVELANE.DAT"), settingsBytes(switches));
}

bool Workspace::writeCompanionText()
{
    return writeFile(QStringLiteral("ORVELANE.TXT"));
}

bool Workspace::writeStartFiles(const Switches& switches)
{
    return writeSettings(switches) && writeCompanionText();
}

bool Workspace::writeFile(const QString& relativePath, const QByteArray& contents)
{
    const QString path = QDir(m_workingDirectory).filePath(relativePath);
    QDir().mkpath(QFileInfo(path).path());
    return support::writeFile(path, contents);
}

bool Workspace::makeDirectory(const QString& relativePath)
{
    return QDir(m_workingDirectory).mkpath(relativePath);
}
