// Window churn: each secondary window opened from the main window's menu and closed again,
// thousands of times. Every opening makes a fresh instance and releases the one it
// supersedes, so at most one instance of each window lives at a time, the widget count
// stays where it was, and resident memory barely moves.
#include "FakeHost.h"
#include "FreshModal.h"
#include "OrvelaneApplication.h"
#include "SoakSupport.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"
#include "Unit5.h"
#include "Unit6.h"
#include "Unit7.h"
#include "Unit8.h"
#include "Widgets.h"

#include <QAction>
#include <QElapsedTimer>
#include <QTest>

#include <map>
#include <memory>

namespace {

// The menu item that opens each window.
struct Churn {
    const char* item;
    const char* window;
};

const Churn kChurns[] = {
    {"Aboutof1", "TForm2"}, {"NEORAGE1", "TForm3"}, {"NEOGEO1", "TForm4"}, {"Options1", "TForm5"},
    {"Gamesof1", "TForm6"}, {"Play2", "TForm7"},    {"Play1", "TForm8"},
};

constexpr int kWarmUpRounds = 15;
// How many times each window is opened, the warm-up rounds included.
const int kOpenings = soak::soakCount(2000, kWarmUpRounds + 10);
constexpr qint64 kAllowedGrowth = 2 * 1024 * 1024;

} // namespace

class WindowChurnTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<support::WorkFolder> m_workDir;
    soak::SettingsFileHost m_host;
    std::unique_ptr<TForm1> m_main;
    std::map<QString, int> m_mostAlive;

    // Triggers `item`, closes the modal window it opens as soon as it shows, and returns
    // that window's class name.
    QString openAndClose(const char* item)
    {
        return support::modalOpenedBy([&] { m_main->findChild<QAction*>(item)->trigger(); });
    }

    // Instances of `window` alive now, closed ones included.
    int alive(const char* window) const
    {
        int count = 0;
        for (const QWidget* widget : QApplication::topLevelWidgets())
            count += widget->inherits(window) ? 1 : 0;
        return count;
    }

    void churn(const Churn& churn, int openings)
    {
        for (int opening = 0; opening < openings; ++opening) {
            const QString opened = openAndClose(churn.item);
            if (opened != churn.window)
                QFAIL(qPrintable(QStringLiteral("%1 opened \"%2\"").arg(churn.item, opened)));
            const int count = alive(churn.window);
            m_mostAlive[churn.window] = std::max(m_mostAlive[churn.window], count);
            if (count != 1)
                QFAIL(qPrintable(QStringLiteral("%1 instances of %2 alive").arg(count).arg(churn.window)));
        }
    }

    // Releases what is waiting for deletion, so that a measurement sees what really lives.
    static void settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase()
    {
        m_workDir = soak::makeWorkDir();
        QVERIFY(m_workDir->isValid());
        // Two switches on: every opening of the configuration window rewrites the file twice.
        QVERIFY(soak::writeFile("ORVELANE.DAT", soak::settingsBytes(0b1001, 0, 0)));
        m_main = std::make_unique<TForm1>(m_host);
        holdIn(Form1, m_main.get());
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
        // As at start-up: one instance of each secondary window before any command.
        holdIn(Form2, new TForm2(Form1));
        holdIn(Form3, new TForm3(Form1));
        holdIn(Form4, new TForm4(Form1));
        holdIn(Form5, new TForm5(m_host, Form1));
        holdIn(Form6, new TForm6(Form1));
        holdIn(Form7, new TForm7(m_host, Form1));
        holdIn(Form8, new TForm8(m_host, Form1));
    }

    void cleanupTestCase()
    {
        m_main.reset();
        m_workDir->leave();
    }

    void openingsReleaseWhatTheySupersede();
};

void WindowChurnTest::openingsReleaseWhatTheySupersede()
{
    QElapsedTimer clock;
    clock.start();
    for (int round = 0; round < kWarmUpRounds; ++round)
        for (const Churn& each : kChurns)
            churn(each, 1);
    if (QTest::currentTestFailed())
        return;
    settle();
    const qint64 residentBefore = soak::residentBytes();
    const qsizetype widgetsBefore = QApplication::allWidgets().size();
    int openings = kWarmUpRounds * int(std::size(kChurns));

    for (const Churn& each : kChurns) {
        QElapsedTimer windowClock;
        windowClock.start();
        churn(each, kOpenings - kWarmUpRounds);
        if (QTest::currentTestFailed())
            return;
        openings += kOpenings - kWarmUpRounds;
        qInfo("%s: %d openings in %.1f s", each.window, kOpenings, windowClock.elapsed() / 1000.0);
    }
    settle();
    const qint64 growth = soak::residentBytes() - residentBefore;
    QCOMPARE(QApplication::allWidgets().size(), widgetsBefore);
    int mostAlive = 0;
    for (const auto& [window, count] : m_mostAlive)
        mostAlive = std::max(mostAlive, count);
    qInfo("soak: window churn: %d openings, RSS growth %.1f MiB, live instances max %d per class", openings,
          double(growth) / (1024 * 1024), mostAlive);
    QVERIFY2(growth < kAllowedGrowth,
             qPrintable(QStringLiteral("resident memory grew by %1 bytes").arg(growth)));
    qInfo("%.1f s in all", clock.elapsed() / 1000.0);
}

int main(int argc, char** argv)
{
    OrvelaneApplication app(argc, argv);
    WindowChurnTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowchurn.moc"
