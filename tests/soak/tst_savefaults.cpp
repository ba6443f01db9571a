// Saves that cannot succeed: a full disk, a read-only file system, a file without write
// permission. Every click's save fails without touching the settings file or leaving anything
// beside it, one error box says so, and the window goes on working; once the fault is gone
// the next click writes the whole file again. A folder without write permission is no such fault:
// there every click is written into the file itself.
#include "OrvelaneApplication.h"
#include "SoakSupport.h"
#include "Unit5.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using soak::Switches;

namespace {

const int kClicksPerFault = soak::soakCount(100);
constexpr std::uint8_t kReserved1 = 0x3c;
constexpr std::uint8_t kReserved2 = 0xc3;

enum class Fault { FullDisk, ReadOnlyFileSystem, FolderNotWritable, FileNotWritable };

QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}

// Writes into `folder` until the file system has no block left.
bool fillUp(const QString& folder)
{
    const int fd = ::open(nativePath(folder + "/filler").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const QByteArray block(4096, 'f');
    while (::write(fd, block.constData(), static_cast<size_t>(block.size())) > 0) {
    }
    const bool full = errno == ENOSPC;
    ::close(fd);
    return full;
}

bool remount(const QString& folder, unsigned long flags)
{
    return ::mount("orvelane-soak", nativePath(folder).constData(), "tmpfs", MS_REMOUNT | flags,
                   "size=256k") == 0;
}

// Brings the fault about in `folder`, and returns how to lift it again.
std::function<bool()> bringAbout(Fault fault, const QString& folder)
{
    const QByteArray where = nativePath(folder);
    const QByteArray file = nativePath(folder + "/ORVELANE.DAT");
    switch (fault) {
    case Fault::FullDisk:
        if (!fillUp(folder))
            return nullptr;
        return [folder] { return QFile::remove(folder + "/filler"); };
    case Fault::ReadOnlyFileSystem:
        if (!remount(folder, MS_RDONLY))
            return nullptr;
        return [folder] { return remount(folder, 0); };
    case Fault::FolderNotWritable:
        if (::chmod(where.constData(), 0555) != 0)
            return nullptr;
        return [where] { return ::chmod(where.constData(), 0755) == 0; };
    case Fault::FileNotWritable:
        if (::chmod(file.constData(), 0444) != 0)
            return nullptr;
        return [file] { return ::chmod(file.constData(), 0644) == 0; };
    }
    return nullptr;
}

bool needsItsOwnFileSystem(Fault fault)
{
    return fault == Fault::FullDisk || fault == Fault::ReadOnlyFileSystem;
}

QCheckBox* box(const QWidget* form, int number)
{
    return form->findChild<QCheckBox*>(QStringLiteral("CheckBox%1").arg(number + 1));
}

Switches windowSwitches(const QWidget* form)
{
    Switches switches = 0;
    for (int number = 0; number < 4; ++number)
        switches |= box(form, number)->isChecked() ? 1 << number : 0;
    return switches;
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

QStringList entriesOf(const QString& folder)
{
    return sorted(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

} // namespace

class SaveFaultsTest : public QObject {
    Q_OBJECT

private:
    QString m_startDir;
    int m_failedSaves = 0;
    int m_faults = 0;

private slots:
    void initTestCase() { m_startDir = QDir::currentPath(); }
    void cleanup() { QVERIFY(QDir::setCurrent(m_startDir)); }

    void cleanupTestCase()
    {
        qInfo("soak: save faults: %d kinds, %d failed saves, each said in one error box, the file untouched, "
              "the window working",
              m_faults, m_failedSaves);
    }

    void aFailedSaveTouchesNothingAndTheWindowGoesOn_data();
    void aFailedSaveTouchesNothingAndTheWindowGoesOn();
};

void SaveFaultsTest::aFailedSaveTouchesNothingAndTheWindowGoesOn_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("full disk") << Fault::FullDisk << "No space left on device";
    QTest::newRow("read-only file system") << Fault::ReadOnlyFileSystem << "Read-only file system";
    QTest::newRow("folder without write permission, the file saved in place")
        << Fault::FolderNotWritable << "";
    QTest::newRow("file without write permission") << Fault::FileNotWritable << "Permission denied";
}

void SaveFaultsTest::aFailedSaveTouchesNothingAndTheWindowGoesOn()
{
    QFETCH(Fault, fault);
    QFETCH(QString, reason);
    std::unique_ptr<support::WorkFolder> workDir = soak::makeWorkDir();
    QVERIFY(workDir->isValid());
    const QString folder = workDir->path();
    const QByteArray where = nativePath(folder);
    if (needsItsOwnFileSystem(fault)) {
        if (::mount("orvelane-soak", where.constData(), "tmpfs", 0, "size=256k") != 0)
            QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs here (%1); this case needs one")
                                 .arg(QString::fromLocal8Bit(std::strerror(errno)))));
    }
    auto unmount = qScopeGuard([&] {
        QDir::setCurrent(m_startDir);
        if (needsItsOwnFileSystem(fault))
            ::umount2(where.constData(), MNT_DETACH);
    });
    QVERIFY(QDir::setCurrent(folder));
    const QString settings = folder + "/ORVELANE.DAT";
    QVERIFY(soak::writeFile(settings, soak::settingsBytes(0b0011, kReserved1, kReserved2)));

    soak::SettingsFileHost host;
    TForm5 form(host);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    support::settle(host);
    const QStringList entries = entriesOf(folder);
    const std::function<bool()> lift = bringAbout(fault, folder);
    QVERIFY2(lift, std::strerror(errno));
    const QByteArray before = soak::readFile(settings);
    QCOMPARE(soak::switchesOf(before, kReserved1, kReserved2), std::optional<Switches>(0b0011));

    const bool inPlace = fault == Fault::FolderNotWritable;
    const auto expectedFile = [&] {
        return inPlace ? soak::settingsBytes(windowSwitches(&form), kReserved1, kReserved2) : before;
    };
    // The texts of the error boxes a click brings up: one per failed save.
    const auto boxesAfterClicking = [&host](QAbstractButton* button) {
        QStringList texts;
        const auto click = [&] {
            QTest::mouseClick(button, Qt::LeftButton);
            support::settle(host);
        };
        for (const auto& box : support::catchBoxes(click))
            texts.append(box.text);
        return texts;
    };
    const QStringList said =
        inPlace
            ? QStringList()
            : QStringList{"The launch switches could not be saved in \"" + settings + "\": " + reason + "."};
    QRandomGenerator random(static_cast<quint32>(fault) + 1);
    for (int click = 0; click < kClicksPerFault; ++click) {
        const int number = random.bounded(4);
        const Switches expected = windowSwitches(&form) ^ (1 << number);
        QCOMPARE(boxesAfterClicking(box(&form, number)), said);
        QCOMPARE(windowSwitches(&form), expected);
        QCOMPARE(soak::readFile(settings), expectedFile());
    }
    QCOMPARE(boxesAfterClicking(form.findChild<QPushButton*>("BitBtn1")), said);
    QCOMPARE(soak::readFile(settings), expectedFile());
    QVERIFY(form.isVisible());
    QCOMPARE(entriesOf(folder), fault == Fault::FullDisk ? sorted(entries + QStringList{"filler"}) : entries);
    m_failedSaves += inPlace ? 0 : kClicksPerFault + 1;
    m_faults += inPlace ? 0 : 1;

    QVERIFY(lift());
    QTest::mouseClick(box(&form, 0), Qt::LeftButton);
    support::settle(host);
    QCOMPARE(soak::readFile(settings), soak::settingsBytes(windowSwitches(&form), kReserved1, kReserved2));
    QCOMPARE(entriesOf(folder), entries);
}

int main(int argc, char** argv)
{
    OrvelaneApplication app(argc, argv);
    SaveFaultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_savefaults.moc"
