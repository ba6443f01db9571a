// A fresh temporary folder that is the working directory while it lives.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace support {

class WorkFolder {
public:
    // Makes the folder (from `templatePath` when given, as QTemporaryDir takes it) and enters it.
    explicit WorkFolder(const QString& templatePath = {});
    // Goes back to the working directory of before, if leave() has not, and removes the folder.
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // Whether the folder was made and is the working directory.
    bool isValid() const { return m_entered; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    // Goes back to the working directory of before; whether that worked.
    bool leave();

private:
    QTemporaryDir m_dir;
    QString m_previous;
    bool m_entered = false;
    bool m_left = false;
};

} // namespace support
