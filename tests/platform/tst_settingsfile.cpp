#include "SettingsFile.h"
#include "SettingsFileHelpers.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kHeader(" KELMOR   - DATA -  ");

// Distinct values nothing in a file uses, so a field that keeps its value is told apart from one loaded.
OptionsRecord sentinelRecord()
{
    OptionsRecord record;
    record.Header = "left alone";
    record.Reserved1 = 0xA1;
    record.Reserved2 = 0xA2;
    record.NoScanlines = 0xA3;
    record.EnableVsync = 0xA4;
    record.VgaMode = 0xA5;
    record.FrameSkip = 0xA6;
    return record;
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void savedBytesFollowTheLayout_data();
    void savedBytesFollowTheLayout();
    void saveSetsTheHeaderWhateverTheRecordHeld();
    void loadingEveryFileLength_data();
    void loadingEveryFileLength();
    void lastVgaModeCopyWins_data();
    void lastVgaModeCopyWins();
    void headerIsNeverCompared_data();
    void headerIsNeverCompared();
    void loadThenSaveCarriesForeignBytes_data();
    void loadThenSaveCarriesForeignBytes();
    void missingFileLeavesRecordAlone();
    void workingDirectoryFileIsUsedByLoadAndSave();
};

void TestSettingsFile::savedBytesFollowTheLayout_data()
{
    QTest::addColumn<int>("reserved1");
    QTest::addColumn<int>("reserved2");
    QTest::addColumn<int>("noScanlines");
    QTest::addColumn<int>("enableVsync");
    QTest::addColumn<int>("vgaMode");
    QTest::addColumn<int>("frameSkip");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("all four on") << 0 << 0 << 1 << 1 << 1 << 1
                                 << fileWith(kHeader, QByteArray("\0\0\1\1\1\1", 6), '\1');
    QTest::newRow("all off") << 0 << 0 << 0 << 0 << 0 << 0 << fileWith(kHeader, QByteArray(6, '\0'), '\0');
    QTest::newRow("only VGA") << 0 << 0 << 0 << 0 << 1 << 0
                              << fileWith(kHeader, QByteArray("\0\0\0\0\1\0", 6), '\1');
    QTest::newRow("frame skip, reserved bytes set")
        << 7 << 200 << 0 << 0 << 0 << 1 << fileWith(kHeader, QByteArray("\7\310\0\0\0\1", 6), '\0');
}

void TestSettingsFile::savedBytesFollowTheLayout()
{
    QFETCH(int, reserved1);
    QFETCH(int, reserved2);
    QFETCH(int, noScanlines);
    QFETCH(int, enableVsync);
    QFETCH(int, vgaMode);
    QFETCH(int, frameSkip);
    QFETCH(QByteArray, expected);
    OptionsRecord record = switches(noScanlines, enableVsync, vgaMode, frameSkip);
    record.Reserved1 = static_cast<std::uint8_t>(reserved1);
    record.Reserved2 = static_cast<std::uint8_t>(reserved2);

    QCOMPARE(expected.size(), 35);
    QCOMPARE(toByteArray(encodeOptions(record)), expected);

    QTemporaryDir dir;
    const QString file = dir.filePath("ORVELANE.DAT");
    QVERIFY(saveOptionsTo(fsPath(file), record));
    QCOMPARE(readFile(file), expected);
    QCOMPARE(entriesOf(dir.path()), QStringList{"ORVELANE.DAT"});
}

void TestSettingsFile::saveSetsTheHeaderWhateverTheRecordHeld()
{
    QTemporaryDir dir;
    OptionsRecord record = switches(1, 0, 0, 0);
    record.Header = "a header far longer than twenty characters";
    QVERIFY(saveOptionsTo(fsPath(dir.filePath("ORVELANE.DAT")), record));
    QCOMPARE(QByteArray::fromStdString(record.Header), kHeader);
    QCOMPARE(readFile(dir.filePath("ORVELANE.DAT")).left(20), kHeader);
}

void TestSettingsFile::loadingEveryFileLength_data()
{
    QTest::addColumn<int>("length");
    for (int length = 0; length <= 36; ++length)
        QTest::addRow("%d bytes", length) << length;
}

void TestSettingsFile::loadingEveryFileLength()
{
    QFETCH(int, length);
    QByteArray full(20, 'H');
    for (int offset = 20; offset < 36; ++offset)
        full.append(static_cast<char>(0x40 + offset));
    const auto byteAt = [&full](int offset) { return static_cast<std::uint8_t>(full.at(offset)); };

    QTemporaryDir dir;
    const QString file = dir.filePath("ORVELANE.DAT");
    writeFile(file, full.left(length));
    OptionsRecord record = sentinelRecord();
    QVERIFY(loadOptionsFrom(fsPath(file), record));

    const OptionsRecord before = sentinelRecord();
    QCOMPARE(record.Header, before.Header);
    QCOMPARE(record.Reserved1, length > 20 ? byteAt(20) : before.Reserved1);
    QCOMPARE(record.Reserved2, length > 21 ? byteAt(21) : before.Reserved2);
    QCOMPARE(record.NoScanlines, length > 22 ? byteAt(22) : before.NoScanlines);
    QCOMPARE(record.EnableVsync, length > 23 ? byteAt(23) : before.EnableVsync);
    QCOMPARE(record.FrameSkip, length > 25 ? byteAt(25) : before.FrameSkip);
    // VgaMode: offset 24, then 26..34; the last one the file holds wins, byte 35 never counts.
    std::uint8_t vgaMode = before.VgaMode;
    if (length > 24)
        vgaMode = byteAt(24);
    if (length > 26)
        vgaMode = byteAt(std::min(length, 35) - 1);
    QCOMPARE(record.VgaMode, vgaMode);
}

void TestSettingsFile::lastVgaModeCopyWins_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("vgaMode");
    const QByteArray fields("\0\0\0\0\1\0", 6);
    QTest::newRow("first copy on, nine copies off") << fileWith(kHeader, fields, '\0') << 0;
    QTest::newRow("first copy off, last copy on")
        << kHeader + QByteArray(6, '\0') + QByteArray(8, '\0') + QByteArray(1, '\1') << 1;
    QTest::newRow("copies differ, last one is 2")
        << kHeader + fields + QByteArray("\1\0\1\0\1\0\1\0\2", 9) << 2;
}

void TestSettingsFile::lastVgaModeCopyWins()
{
    QFETCH(QByteArray, content);
    QFETCH(int, vgaMode);
    QTemporaryDir dir;
    writeFile(dir.filePath("ORVELANE.DAT"), content);
    OptionsRecord record = sentinelRecord();
    QVERIFY(loadOptionsFrom(fsPath(dir.filePath("ORVELANE.DAT")), record));
    QCOMPARE(int(record.VgaMode), vgaMode);
}

void TestSettingsFile::headerIsNeverCompared_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::newRow("zero bytes") << QByteArray(20, '\0');
    QTest::newRow("all 0xFF") << QByteArray(20, '\xff');
    QTest::newRow("another program's name") << QByteArray("SOMETHING ELSE ENTIR");
}

void TestSettingsFile::headerIsNeverCompared()
{
    QFETCH(QByteArray, header);
    QTemporaryDir dir;
    writeFile(dir.filePath("ORVELANE.DAT"), fileWith(header, QByteArray("\3\4\1\0\1\1", 6), '\1'));
    OptionsRecord record = sentinelRecord();
    QVERIFY(loadOptionsFrom(fsPath(dir.filePath("ORVELANE.DAT")), record));
    OptionsRecord expected = switches(1, 0, 1, 1);
    expected.Header = sentinelRecord().Header;
    expected.Reserved1 = 3;
    expected.Reserved2 = 4;
    QCOMPARE(record, expected);
}

void TestSettingsFile::loadThenSaveCarriesForeignBytes_data()
{
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<char>("vgaCopies");
    QTest::newRow("reserved bytes 7 and 200") << QByteArray("\7\310\1\0\0\1", 6) << '\0';
    QTest::newRow("reserved bytes 0xFF") << QByteArray("\377\377\0\0\0\0", 6) << '\0';
    QTest::newRow("a switch byte of 2") << QByteArray("\0\0\2\0\0\0", 6) << '\0';
    QTest::newRow("VgaMode of 2") << QByteArray("\0\0\0\0\2\0", 6) << '\2';
}

void TestSettingsFile::loadThenSaveCarriesForeignBytes()
{
    QFETCH(QByteArray, fields);
    QFETCH(char, vgaCopies);
    QTemporaryDir dir;
    const QString file = dir.filePath("ORVELANE.DAT");
    writeFile(file, fileWith(QByteArray(20, 'x'), fields, vgaCopies));
    OptionsRecord record;
    QVERIFY(loadOptionsFrom(fsPath(file), record));
    QVERIFY(saveOptionsTo(fsPath(file), record));
    QCOMPARE(readFile(file), fileWith(kHeader, fields, vgaCopies));
}

void TestSettingsFile::missingFileLeavesRecordAlone()
{
    QTemporaryDir dir;
    OptionsRecord record = sentinelRecord();
    QVERIFY(!loadOptionsFrom(fsPath(dir.filePath("ORVELANE.DAT")), record));
    QCOMPARE(record, sentinelRecord());
    QVERIFY(entriesOf(dir.path()).isEmpty());
}

void TestSettingsFile::workingDirectoryFileIsUsedByLoadAndSave()
{
    QTemporaryDir dir;
    const QString earlier = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    auto restore = qScopeGuard([&earlier] { QDir::setCurrent(earlier); });

    OptionsRecord saved = switches(0, 0, 1, 1);
    QCOMPARE(SaveOptions(saved).file, fsPath(dir.filePath("ORVELANE.DAT")));
    QCOMPARE(readFile(dir.filePath("ORVELANE.DAT")), toByteArray(encodeOptions(saved)));
    OptionsRecord loaded;
    LoadOptions(loaded);
    QCOMPARE(loaded.VgaMode, 1);
    QCOMPARE(loaded.FrameSkip, 1);
    QCOMPARE(loaded.NoScanlines, 0);

    // A file copied from an old disc under another letter case is the one read and rewritten.
    QVERIFY(QFile::rename(dir.filePath("ORVELANE.DAT"), dir.filePath("orvelane.dat")));
    OptionsRecord again;
    LoadOptions(again);
    QCOMPARE(again, loaded);
    again.NoScanlines = 1;
    // The one read of the folder that finds it also finds what a killed save left.
    writeFile(dir.filePath(".orvelane.dat.1.2"), "partial");
    QVERIFY(SaveOptions(again));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"orvelane.dat"});
    QCOMPARE(readFile(dir.filePath("orvelane.dat")), toByteArray(encodeOptions(again)));
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
