// Shell-script stand-ins for the emulators, written by the tests, that record how they were
// started: their arguments, working directory, open descriptors, pid and session.
#pragma once

#include "Files.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace stub {

inline QString shellQuoted(QString text)
{
    return u'\'' + text.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

inline bool writeFile(const QString& path, const QByteArray& content, bool executable)
{
    if (!support::writeFile(path, content))
        return false;
    QFile::Permissions permissions =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    if (executable)
        permissions |= QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    return QFile::setPermissions(path, permissions);
}

// A script that writes its record into `recordDir` (made by the caller) and, while the file
// "hold" exists there, keeps running. Only absolute tools are used, so PATH may be anything.
inline QByteArray recorderScript(const QString& recordDir)
{
    return "#!/bin/sh\n"
           "out=" +
           shellQuoted(recordDir).toLocal8Bit() +
           "\n"
           "printf '%s\\0' \"$@\" > \"$out/args\"\n"
           "pwd -P > \"$out/cwd\"\n"
           "/bin/ls /proc/self/fd > \"$out/fds\"\n"
           "read -r pid comm state ppid pgrp sid rest < /proc/$$/stat\n"
           "echo \"$$ $sid $#\" > \"$out/ids.tmp\"\n"
           "/bin/mv \"$out/ids.tmp\" \"$out/ids\"\n"
           "while [ -e \"$out/hold\" ]; do /bin/sleep 0.02; done\n";
}

// A script that only leaves the file `marker` behind when it runs.
inline QByteArray markerScript(const QString& marker)
{
    return "#!/bin/sh\n: > " + shellQuoted(marker).toLocal8Bit() + "\n";
}

struct Record {
    QList<QByteArray> arguments; // argv[1] on
    QString workingDirectory;
    QStringList descriptors;
    qint64 pid = 0;
    qint64 session = 0;
};

// The record a recorder left in `recordDir`, once complete ("ids" is written last).
inline std::optional<Record> readRecord(const QString& recordDir)
{
    const QDir dir(recordDir);
    if (!QFileInfo::exists(dir.filePath(QStringLiteral("ids"))))
        return std::nullopt;
    Record record;
    const QByteArray args = support::readFile(dir.filePath(QStringLiteral("args")));
    record.arguments = args.split('\0');
    record.workingDirectory =
        QString::fromLocal8Bit(support::readFile(dir.filePath(QStringLiteral("cwd")))).trimmed();
    record.descriptors = QString::fromLatin1(support::readFile(dir.filePath(QStringLiteral("fds"))))
                             .split(u'\n', Qt::SkipEmptyParts);
    const QList<QByteArray> ids = support::readFile(dir.filePath(QStringLiteral("ids"))).trimmed().split(' ');
    if (ids.size() != 3)
        return std::nullopt;
    record.pid = ids[0].toLongLong();
    record.session = ids[1].toLongLong();
    // printf writes one NUL even for no arguments, so the count says how many there were.
    record.arguments = record.arguments.mid(0, ids[2].toInt());
    return record;
}

// True while `pid` still exists, running or as a zombie nobody has reaped.
inline bool processExists(qint64 pid)
{
    return QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

} // namespace stub
