// Files for the tests: a temporary working folder, and files written and read whole.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace support {

// A fresh temporary folder that is the working directory while it lives.
class WorkFolder {
public:
    // Makes the folder (from `templatePath` when given, as QTemporaryDir takes it) and enters it.
    explicit WorkFolder(const QString& templatePath = {})
        : m_dir(templatePath.isEmpty() ? QDir::tempPath() + u'/' + QCoreApplication::applicationName() +
                                             QStringLiteral("-XXXXXX")
                                       : templatePath),
          m_entered(m_dir.isValid() && QDir::setCurrent(m_dir.path()))
    {
    }
    // Goes back to the working directory of before, if leave() has not, and removes the folder.
    ~WorkFolder() { leave(); }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // Whether the folder was made and is the working directory.
    bool isValid() const { return m_entered; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    // Goes back to the working directory of before; whether that worked.
    bool leave() { return m_left = m_left || QDir::setCurrent(m_previous); }

private:
    QString m_previous = QDir::currentPath();
    QTemporaryDir m_dir;
    bool m_entered;
    bool m_left = false;
};

// Replaces the file at `path` with `bytes`; whether all of them were written.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The whole file at `path`; empty when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace support
