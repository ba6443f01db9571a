// What the settings-file and atomic-replacement tests share: records with given switches,
// settings-file bytes, and files written and read whole.
#pragma once

#include "OptionsRecord.h"
#include "SettingsLayout.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

#include <cstdint>

inline OptionsRecord switches(std::uint8_t noScanlines, std::uint8_t enableVsync, std::uint8_t vgaMode,
                              std::uint8_t frameSkip)
{
    OptionsRecord record;
    record.NoScanlines = noScanlines;
    record.EnableVsync = enableVsync;
    record.VgaMode = vgaMode;
    record.FrameSkip = frameSkip;
    return record;
}

inline QByteArray toByteArray(const SettingsBytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// The six field bytes at offsets 20..25 followed by the nine VgaMode copies.
inline QByteArray fileWith(const QByteArray& header, const QByteArray& fields, char vgaCopies)
{
    return header + fields + QByteArray(9, vgaCopies);
}

inline void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(content), content.size());
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
