// Start-up and shutdown of the real program: it runs only with both companion files in its
// working directory, shows its main window, and ends with status 0 however it is left. The
// same checks run on X11 and on Wayland (ORVELANE_E2E_DISPLAY=wayland).
#include "E2eSession.h"
#include "E2eSupport.h"
#include "Files.h"
#include "OrvelaneScreens.h"
#include "StallingFolder.h"
#include "VirtualDisplay.h"
#include "Workspace.h"

#include <QTest>

#include <memory>

class StartupTest : public QObject {
    Q_OBJECT

private:
    VirtualDisplay m_display;
    std::unique_ptr<DesktopDriver> m_desktop;

private slots:
    void initTestCase()
    {
        E2E_START_DISPLAY(m_display);
        m_desktop = std::make_unique<DesktopDriver>(m_display);
    }

    void cleanup()
    {
        if (m_desktop)
            E2e::saveScreenIfFailed(*m_desktop);
    }

    void showsTheMainWindowWithBothFiles()
    {
        Workspace workspace;
        QVERIFY(workspace.writeStartFiles());
        E2eSession session(m_display, workspace.workingDirectory());
        const auto window = session.startToMainWindow();
        QVERIFY(window);
        const auto frame = session.desktop().geometry(*window);
        QVERIFY(frame);
        QCOMPARE(frame->width(), Orvelane::kMainClientSize.width());
        const int menuBarHeight = frame->height() - Orvelane::kMainClientSize.height();
        QVERIFY2(menuBarHeight >= 18 && menuBarHeight <= 30,
                 qPrintable(QStringLiteral("menu bar %1 px tall").arg(menuBarHeight)));
        // Centred on the 1024 x 768 screen; on Wayland the compositor decides where it goes.
        if (!m_display.isWayland()) {
            QVERIFY(qAbs(frame->center().x() - 512) <= 1);
            QVERIFY(qAbs(frame->center().y() - 384) <= 1);
        }
    }

    void endsAtOnceWithoutAWindow_data()
    {
        QTest::addColumn<bool>("settingsFile");
        QTest::addColumn<bool>("companionText");
        QTest::addColumn<QString>("directoryInstead");

        QTest::newRow("only the settings file") << true << false << QString();
        QTest::newRow("only the companion text") << false << true << QString();
        QTest::newRow("neither") << false << false << QString();
        QTest::newRow("a directory named ORVELANE.DAT") << false << true << QStringLiteral("ORVELANE.DAT");
        QTest::newRow("a directory named ORVELANE.TXT") << true << false << QStringLiteral("ORVELANE.TXT");
    }

    void endsAtOnceWithoutAWindow()
    {
        QFETCH(bool, settingsFile);
        QFETCH(bool, companionText);
        QFETCH(QString, directoryInstead);

        Workspace workspace;
        if (settingsFile)
            QVERIFY(workspace.writeSettings());
        if (companionText)
            QVERIFY(workspace.writeCompanionText());
        if (!directoryInstead.isEmpty())
            QVERIFY(workspace.makeDirectory(directoryInstead));

        m_desktop->watchNewWindows();
        E2eSession session(m_display, workspace.workingDirectory());
        QVERIFY(session.start());
        QVERIFY2(session.waitForExit(5000) == 0, qPrintable(session.howItEnded()));
        QCOMPARE(m_desktop->newWindowCount(), 0);
    }

    // The other side of the check above: the watcher does see the windows of a program
    // that starts, so a zero there means something.
    void aStartingProgramIsSeenMappingWindows()
    {
        Workspace workspace;
        QVERIFY(workspace.writeStartFiles());
        m_desktop->watchNewWindows();
        E2eSession session(m_display, workspace.workingDirectory());
        QVERIFY(session.startToMainWindow());
        QVERIFY(m_desktop->newWindowCount() > 0);
    }

    void endsWithStatusZero_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Exit from the Play menu") << false;
        QTest::newRow("the main window's close box") << true;
    }

    void endsWithStatusZero()
    {
        QFETCH(bool, closeBox);
        Workspace workspace;
        QVERIFY(workspace.writeStartFiles());
        E2eSession session(m_display, workspace.workingDirectory());
        const auto window = session.startToMainWindow();
        QVERIFY(window);

        const bool asked = closeBox ? session.desktop().closeWindow(*window)
                                    : session.desktop().pressKeys(*window, Orvelane::kExitKeys);
        QVERIFY2(asked, qPrintable(session.desktop().lastError()));
        QVERIFY2(session.waitForExit(5000) == 0, qPrintable(session.howItEnded()));
    }

    // A click just before the end is still saved when the file takes its time to answer: the
    // program waits for the save before it ends, on X11 and on Wayland alike.
    void aClickJustBeforeTheEndIsSaved()
    {
        if (const QString why = support::StallingFolder::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        support::StallingFolder share(QStringLiteral("ORVELANE.DAT"), QStringLiteral("write"), 2);
        QVERIFY(share.isMounted());
        QVERIFY(
            support::writeFile(share.backing(QStringLiteral("ORVELANE.DAT")), Workspace::settingsBytes({})));
        QVERIFY(support::writeFile(share.backing(QStringLiteral("ORVELANE.TXT")), {}));
        E2eSession session(m_display, share.path());
        const auto main = session.startToMainWindow();
        QVERIFY(main);
        const auto configuration =
            session.openWindow(*main, Orvelane::kConfigurationKeys, Orvelane::kConfigurationCaption);
        QVERIFY2(configuration, qPrintable(session.desktop().lastError()));
        QVERIFY(session.desktop().pressKeys(*configuration, {QStringLiteral("space")}));
        QVERIFY(share.waitUntilHeld());
        QVERIFY(session.desktop().closeWindow(*configuration));
        QVERIFY2(session.desktop().pressKeys(*main, Orvelane::kExitKeys),
                 qPrintable(session.desktop().lastError()));
        QVERIFY2(session.waitForExit(10000) == 0, qPrintable(session.howItEnded()));
        QCOMPARE(support::readFile(share.backing(QStringLiteral("ORVELANE.DAT"))),
                 Workspace::settingsBytes({.noScanlines = true}));
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
