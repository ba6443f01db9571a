// The real host: which names count as files, how the clock and date are written for a
// locale, and the open-file dialog the play window runs.
#include "FileLookup.h"
#include "Files.h"
#include "LocaleClockFormats.h"
#include "StallingFolder.h"
#include "StubProgram.h"
#include "SystemHost.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <unistd.h>

class TestSystemHost : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void isFileCountsRegularFilesAndLinksToThem_data();
    void isFileCountsRegularFilesAndLinksToThem();
    void clockFormatsFollowTheLocale_data();
    void clockFormatsFollowTheLocale();
    void longTimeIsRebuiltFromTheLocaleFormat_data();
    void longTimeIsRebuiltFromTheLocaleFormat();
    void everyLocaleGetsHourMinutesSecondsAndNoZone();
    void exactCaseWinsThenByteOrder();
    void dialogAsksForGameFilesInTheWorkingDirectory();
    void dialogShowsGameFilesInAnyLetterCase();
    void dialogAcceptsTypedNameOfMissingFile();
    void choosingFileElsewhereKeepsTheWorkingDirectory();
    void dialogOpensNoFileItShows_data();
    void dialogOpensNoFileItShows();
    void cancelDoesNotWaitForAListing();
    void nextDialogDoesNotLookUpTheLastFolder();

private:
    QString path(const QString& name) const { return QDir(m_work->path()).filePath(name); }
    std::optional<std::string> runDialog(const std::function<void(QFileDialog*)>& whenOpen,
                                         QWidget* over = nullptr);

    std::unique_ptr<support::WorkFolder> m_work;
    SystemHost m_host;
};

// Accepts from the event loop rather than from the polling timer: accepting may put up a
// message box whose own loop must leave that timer free to run.
void acceptSoon(QFileDialog* dialog)
{
    QTimer::singleShot(0, dialog, [dialog] { static_cast<QDialog*>(dialog)->accept(); });
}

const OpenFileRequest kGameFiles{QStringLiteral("Files of NEO-GEO"),
                                 {QStringLiteral("*.ROM"), QStringLiteral("*.038")}};

void TestSystemHost::init()
{
    m_work =
        std::make_unique<support::WorkFolder>(QDir::tempPath() + QStringLiteral("/orvelane host XXXXXX"));
    QVERIFY(m_work->isValid());
}

void TestSystemHost::cleanup()
{
    m_work->leave();
    m_work.reset();
}

// Runs chooseOpenFile and hands the dialog to `whenOpen` once it is up; `whenOpen` must
// accept or reject it. A dialog can be closed a moment too early, before its own event
// loop runs, and would then wait for ever; so `whenOpen` is called again until it is gone.
// A dialog that will not close is cancelled after a few seconds, so the test fails rather
// than hangs.
std::optional<std::string> TestSystemHost::runDialog(const std::function<void(QFileDialog*)>& whenOpen,
                                                     QWidget* over)
{
    QPointer<QFileDialog> found;
    int attempts = 0;
    QTimer poll;
    poll.setInterval(50);
    connect(&poll, &QTimer::timeout, this, [&] {
        if (!found)
            found = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!found)
            return;
        if (QWidget* top = QApplication::activeModalWidget(); top && top != found)
            top->close(); // a message box the dialog put up over itself
        else if (++attempts <= 100)
            whenOpen(found);
        else
            static_cast<QDialog*>(found)->reject();
    });
    poll.start();
    return m_host.chooseOpenFile(over, kGameFiles);
}

void TestSystemHost::isFileCountsRegularFilesAndLinksToThem_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isFile");
    QTest::newRow("file by relative name") << QStringLiteral("neo-geo.rom") << true;
    QTest::newRow("file by absolute name") << QStringLiteral("@/neo-geo.rom") << true;
    QTest::newRow("empty file") << QStringLiteral("empty.exe") << true;
    QTest::newRow("directory") << QStringLiteral("neogeo.exe") << false;
    QTest::newRow("link to a file") << QStringLiteral("neorage.exe") << true;
    QTest::newRow("link to a directory") << QStringLiteral("linked dir") << false;
    QTest::newRow("dangling link") << QStringLiteral("dangling") << false;
    QTest::newRow("missing") << QStringLiteral("missing.rom") << false;
    QTest::newRow("empty name") << QString() << false;
    QTest::newRow("another letter case") << QStringLiteral("NEO-GEO.ROM") << true;
    QTest::newRow("a folder in another case") << QStringLiteral("NEOGEO.EXE") << false;
    QTest::newRow("a file beside a folder of the exact name") << QStringLiteral("ORVELANE.DAT") << true;
}

void TestSystemHost::isFileCountsRegularFilesAndLinksToThem()
{
    QFETCH(QString, name);
    QFETCH(bool, isFile);
    QVERIFY(stub::writeFile(path(QStringLiteral("neo-geo.rom")), "BIOS", false));
    QVERIFY(stub::writeFile(path(QStringLiteral("empty.exe")), {}, false));
    QVERIFY(QDir().mkdir(path(QStringLiteral("neogeo.exe"))));
    QVERIFY(QFile::link(path(QStringLiteral("neo-geo.rom")), path(QStringLiteral("neorage.exe"))));
    QVERIFY(QFile::link(path(QStringLiteral("neogeo.exe")), path(QStringLiteral("linked dir"))));
    QVERIFY(QFile::link(path(QStringLiteral("gone")), path(QStringLiteral("dangling"))));
    QVERIFY(QDir().mkdir(path(QStringLiteral("ORVELANE.DAT"))));
    QVERIFY(stub::writeFile(path(QStringLiteral("orvelane.dat")), "KELMOR", false));
    name.replace(QStringLiteral("@"), m_work->path());
    QCOMPARE(m_host.isFile(QFile::encodeName(name).toStdString()), isFile);
}

void TestSystemHost::clockFormatsFollowTheLocale_data()
{
    // What the status line shows at 21:05:09 on 7 December 2026. Locale data changes between
    // Qt releases (which blank stands before the marker, "AP" or "Ap"), so the rows compare
    // what the user reads; the rule itself is pinned by the format table below.
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("date");
    QTest::newRow("en_US") << "en_US" << "9:05:09 PM" << "12/7/26";
    QTest::newRow("de_DE") << "de_DE" << "21:05:09" << "07.12.26";
    QTest::newRow("C") << "C" << "21:05:09" << "12/7/26";
    QTest::newRow("ko_KR, marker first") << "ko_KR" << "오후 9:05:09" << "26. 12. 7.";
    QTest::newRow("zh_CN, zone first") << "zh_CN" << "21:05:09" << "2026/12/7";
    QTest::newRow("fr_CA, quoted units") << "fr_CA" << "21:05:09" << "2026-12-07";
    QTest::newRow("fi_FI, dots") << "fi_FI" << "21:05:09" << "7.12.2026";
}

void TestSystemHost::clockFormatsFollowTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, time);
    QFETCH(QString, date);
    const QLocale shown(locale);
    const ClockFormats formats = clockFormatsFor(shown);
    QCOMPARE(shown.toString(QTime(21, 5, 9), formats.longTime).replace(QChar(0x202F), u' '), time);
    QCOMPARE(shown.toString(QDate(2026, 12, 7), formats.shortDate), date);
}

void TestSystemHost::longTimeIsRebuiltFromTheLocaleFormat_data()
{
    QTest::addColumn<QString>("localeFormat");
    QTest::addColumn<QString>("longTime");
    QTest::newRow("zone after") << "h:mm:ss AP t"
                                << "h:mm:ss AP";
    QTest::newRow("long zone name") << "HH:mm:ss tttt"
                                    << "HH:mm:ss";
    QTest::newRow("zone in brackets") << "H:mm:ss (t)"
                                      << "H:mm:ss";
    QTest::newRow("lowercase marker kept") << "hh:mm:ss ap t"
                                           << "hh:mm:ss ap";
    QTest::newRow("one-letter marker first") << "A h:mm:ss"
                                             << "A h:mm:ss";
    QTest::newRow("marker glued to the hour") << "APh:mm:ss"
                                              << "APh:mm:ss";
    QTest::newRow("day period letter") << "Bh:mm:ss [t]"
                                       << "APh:mm:ss";
    QTest::newRow("narrow no-break space kept") << "h:mm:ss\u202fAP t"
                                                << "h:mm:ss\u202fAP";
    QTest::newRow("text between becomes a blank") << "AP 'um' h:mm:ss"
                                                  << "AP h:mm:ss";
    QTest::newRow("marker followed by a comma") << "h:mm:ss AP, t"
                                                << "h:mm:ss AP";
    QTest::newRow("units as letters") << "H時mm分ss秒 t"
                                      << "H:mm:ss";
    QTest::newRow("quoted letters are text") << "HH 'h' mm 'min' ss 's' t"
                                             << "HH:mm:ss";
    QTest::newRow("quoted marker letters are text") << "'Alarm at' HH:mm:ss"
                                                    << "HH:mm:ss";
    QTest::newRow("quote inside quotes") << "'o''clock' h:mm:ss AP"
                                         << "h:mm:ss AP";
    QTest::newRow("three hour letters") << "hhh:mm:ss"
                                        << "hh:mm:ss";
    QTest::newRow("no hour at all") << "mm:ss"
                                    << "HH:mm:ss";
    QTest::newRow("empty") << ""
                           << "HH:mm:ss";
}

void TestSystemHost::longTimeIsRebuiltFromTheLocaleFormat()
{
    QFETCH(QString, localeFormat);
    QFETCH(QString, longTime);
    QCOMPARE(clockLongTimeFormat(localeFormat), longTime);
}

// Whatever a locale's data holds, the status line gets its hour, minutes and seconds,
// possibly the marker, and never the zone.
void TestSystemHost::everyLocaleGetsHourMinutesSecondsAndNoZone()
{
    static const QRegularExpression shape(
        QStringLiteral("^(?:(?:AP|ap|Ap|aP|A|a)\\s*)?(?:h|hh|H|HH):mm:ss(?:\\s*(?:AP|ap|Ap|aP|A|a))?$"),
        QRegularExpression::UseUnicodePropertiesOption);
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    QVERIFY(locales.size() > 100);
    for (const QLocale& locale : locales) {
        const ClockFormats formats = clockFormatsFor(locale);
        const QString context = locale.name() + u' ' + locale.timeFormat(QLocale::LongFormat);
        QVERIFY2(shape.match(formats.longTime).hasMatch(), qPrintable(context + " -> " + formats.longTime));
        QVERIFY2(!formats.longTime.startsWith(u'A') || !formats.longTime.endsWith(u'P'), qPrintable(context));
        QVERIFY2(!formats.shortDate.isEmpty(), qPrintable(context));
    }
}

void TestSystemHost::exactCaseWinsThenByteOrder()
{
    for (const char* name : {"neoRAGE.exe", "Neorage.exe"})
        QVERIFY(stub::writeFile(path(QLatin1String(name)), {}, false));
    QCOMPARE(QString::fromStdString(findFileIgnoringCase({}, "neorage.exe").value_or("")), "Neorage.exe");
    QVERIFY(stub::writeFile(path(QStringLiteral("neorage.exe")), {}, false));
    QCOMPARE(QString::fromStdString(findFileIgnoringCase({}, "neorage.exe").value_or("")), "neorage.exe");
}

void TestSystemHost::dialogAsksForGameFilesInTheWorkingDirectory()
{
    QStringList filters;
    QFileDialog::FileMode fileMode = QFileDialog::Directory;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptSave;
    QString directory;
    const std::optional<std::string> chosen = runDialog([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        fileMode = dialog->fileMode();
        acceptMode = dialog->acceptMode();
        directory = dialog->directory().absolutePath();
        dialog->reject();
    });
    QVERIFY(!chosen.has_value());
    QCOMPARE(filters, QStringList{QStringLiteral("Files of NEO-GEO (*.ROM *.038)")});
    QCOMPARE(fileMode, QFileDialog::AnyFile);
    QCOMPARE(acceptMode, QFileDialog::AcceptOpen);
    QCOMPARE(QFileInfo(directory).canonicalFilePath(), QFileInfo(m_work->path()).canonicalFilePath());
}

void TestSystemHost::dialogShowsGameFilesInAnyLetterCase()
{
    for (const char* name : {"mslug.rom", "MSLUG.038", "kof98.Rom", "notes.txt", "neogeo.exe"})
        QVERIFY(stub::writeFile(path(QString::fromLatin1(name)), "x", false));
    QStringList shown;
    QString fileType;
    runDialog([&](QFileDialog* dialog) {
        shown.clear();
        // The type reads as its description alone; the patterns still filter.
        if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
            fileType = types->currentText();
        auto* model = dialog->findChild<QFileSystemModel*>();
        if (model) {
            const QModelIndex folder = model->index(m_work->path());
            // The model reads the folder in a thread of its own and hands a small folder over
            // in one batch: once the three game files are in, so is anything else it would list.
            if (!QTest::qWaitFor([&] { return model->rowCount(folder) >= 3; }, 5000))
                qWarning("the dialog listed only %d entries", model->rowCount(folder));
            for (int row = 0; row < model->rowCount(folder); ++row) {
                const QModelIndex item = model->index(row, 0, folder);
                if (model->flags(item).testFlag(Qt::ItemIsEnabled))
                    shown << item.data().toString();
            }
        }
        dialog->reject();
    });
    shown.sort();
    QCOMPARE(shown, QStringList({"MSLUG.038", "kof98.Rom", "mslug.rom"}));
    QCOMPARE(fileType, QString("Files of NEO-GEO"));
}

void TestSystemHost::dialogAcceptsTypedNameOfMissingFile()
{
    const std::optional<std::string> chosen = runDialog([](QFileDialog* dialog) {
        if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            edit->setText(QStringLiteral("new game.038"));
        acceptSoon(dialog);
    });
    QVERIFY(chosen.has_value());
    QCOMPARE(QString::fromStdString(*chosen), QFileInfo(m_work->path()).absoluteFilePath() + "/new game.038");
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("new game.038"))));
}

// Other files are looked up by relative name after a game has been chosen, so the dialog
// must leave the working directory where it was.
void TestSystemHost::choosingFileElsewhereKeepsTheWorkingDirectory()
{
    QTemporaryDir games(QDir::tempPath() + QStringLiteral("/orvelane games XXXXXX"));
    QVERIFY(games.isValid());
    QVERIFY(QDir().mkdir(games.filePath(QStringLiteral("MSLUG"))));
    const QString game = games.filePath(QStringLiteral("MSLUG/MSLUG.038"));
    QVERIFY(stub::writeFile(game, "x", false));
    const QString before = QDir::currentPath();

    const std::optional<std::string> chosen = runDialog([&](QFileDialog* dialog) {
        if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            edit->setText(game);
        acceptSoon(dialog);
    });
    QVERIFY(chosen.has_value());
    QCOMPARE(QFileInfo(QString::fromStdString(*chosen)).canonicalFilePath(),
             QFileInfo(game).canonicalFilePath());
    QCOMPARE(QDir::currentPath(), before);
    char buffer[4096] = {};
    QVERIFY(::getcwd(buffer, sizeof buffer) != nullptr);
    QCOMPARE(QString::fromLocal8Bit(buffer), before);
}

void TestSystemHost::dialogOpensNoFileItShows_data()
{
    QTest::addColumn<bool>("working");
    QTest::addColumn<int>("dialogs");
    QTest::newRow("the working folder") << true << 1;
    QTest::newRow("a folder typed into the dialog") << false << 1;
    QTest::newRow("a folder shown before") << false << 2;
}

// A game folder on a share that has stopped answering: the dialog lists it and can be
// cancelled, and neither it nor its threads open a file there (ORVELANE.DAT would never answer).
void TestSystemHost::dialogOpensNoFileItShows()
{
    if (const QString why = support::StallingFolder::unavailable(); !why.isEmpty())
        QSKIP(qPrintable(why));
    QFETCH(bool, working);
    QFETCH(int, dialogs);
    support::StallingFolder share(QStringLiteral("ORVELANE.DAT"), QStringLiteral("open read write"), 5);
    QVERIFY(share.isMounted());
    const QStringList names{"ORVELANE.DAT", "MSLUG.038", "NEO-GEO.ROM", "neorage.exe"};
    for (const QString& name : names)
        QVERIFY(stub::writeFile(share.backing(name), "x", false));
    if (working)
        QVERIFY(QDir::setCurrent(share.path()));
    for (int shown = 0; shown < dialogs; ++shown) {
        const bool typed = !working && shown == 0;
        int listed = 0;
        runDialog([&](QFileDialog* dialog) {
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* model = dialog->findChild<QFileSystemModel*>();
            QVERIFY(edit && model);
            if (typed && dialog->directory() != QDir(share.path())) {
                edit->setText(share.path());
                static_cast<QDialog*>(dialog)->accept(); // a folder's name goes into the folder
                return;
            }
            if (working || typed)
                (void)QTest::qWaitFor([&] { return model->rowCount(model->index(share.path())) >= 2; }, 5000);
            listed = model->rowCount(model->index(share.path()));
            dialog->reject();
        });
        QCOMPARE(share.held(), 0);
        if (working || typed)
            QCOMPARE(listed, 2); // the game files
    }
    QVERIFY(m_work->isValid() && QDir::setCurrent(m_work->path()));
}

// A working folder on a share whose listing never answers: Cancel closes the dialog at once,
// the window it was shown over can go, and the dialog goes itself once the listing has come.
void TestSystemHost::cancelDoesNotWaitForAListing()
{
    if (const QString why = support::StallingFolder::unavailable(); !why.isEmpty())
        QSKIP(qPrintable(why));
    const int limitSeconds = 20;
    support::StallingFolder share(QStringLiteral("GAMES"), QStringLiteral("list"), limitSeconds);
    QVERIFY(share.isMounted());
    QVERIFY(QDir().mkdir(share.backing(QStringLiteral("GAMES"))));
    QVERIFY(QDir::setCurrent(share.path(QStringLiteral("GAMES"))));
    auto playWindow = std::make_unique<QWidget>();
    QPointer<QFileDialog> shown;
    QElapsedTimer clock;
    clock.start();
    runDialog(
        [&](QFileDialog* dialog) {
            shown = dialog;
            if (share.held() > 0)
                dialog->reject();
        },
        playWindow.get());
    playWindow.reset();
    QVERIFY2(clock.elapsed() < limitSeconds * 1000 / 2, "the dialog waited for the listing");
    QCOMPARE(share.held(), 1);
    QVERIFY(shown);
    share.free();
    QVERIFY(QTest::qWaitFor([&] { return shown.isNull(); }, 10000));
    QVERIFY(m_work->isValid() && QDir::setCurrent(m_work->path()));
}

// The folder the last dialog was in, on a share that has since stopped answering even plain
// lookups: the next dialog opens in the working folder without looking that one up.
void TestSystemHost::nextDialogDoesNotLookUpTheLastFolder()
{
    if (const QString why = support::StallingFolder::unavailable(); !why.isEmpty())
        QSKIP(qPrintable(why));
    support::StallingFolder share(QStringLiteral("GAMES"), QStringLiteral("stat"), 5);
    QVERIFY(share.isMounted() && share.free());
    QVERIFY(QDir().mkdir(share.backing(QStringLiteral("GAMES"))));
    const QDir games(share.path(QStringLiteral("GAMES")));
    runDialog([&](QFileDialog* dialog) {
        if (dialog->directory() != games)
            dialog->setDirectory(games);
        else
            dialog->reject();
    });
    QVERIFY(share.hold());
    const int held = share.held();
    QString opened;
    runDialog([&](QFileDialog* dialog) {
        opened = dialog->directory().absolutePath();
        dialog->reject();
    });
    QCOMPARE(share.held(), held);
    QCOMPARE(opened, QDir::currentPath());
}

QTEST_MAIN(TestSystemHost)
#include "tst_systemhost.moc"
