// The secondary windows of the real program: each opens from its menu item and from its
// tool button, shows with its caption and client size (on X11 in the middle of the screen;
// on Wayland the compositor places it), stays open on Escape, closes through its close box,
// and leaves the main window working again. The same checks run on X11 and on Wayland
// (ORVELANE_E2E_DISPLAY=wayland).
#include "E2eSession.h"
#include "E2eSupport.h"
#include "OrvelaneScreens.h"
#include "VirtualDisplay.h"
#include "Workspace.h"

#include <QTest>

#include <memory>

using namespace Orvelane;

class WindowsTest : public QObject {
    Q_OBJECT

private:
    VirtualDisplay m_display;
    Workspace m_workspace;
    std::unique_ptr<E2eSession> m_session;
    XWindowId m_main = 0;
    int m_menuBarHeight = 0;
    bool m_toolsOn = false;
    // What the status line showed over the banner, then over each tool button so far.
    QList<QByteArray> m_hintsSeen;

    const DesktopDriver& desktop() const { return m_session->desktop(); }

    QPoint toolButton(int left) const { return toolButtonCentre(left, m_menuBarHeight); }

    // The pixels of `area` of the main window's client area, below its menu bar.
    QByteArray clientPixels(const QRect& area) const
    {
        const auto frame = desktop().geometry(m_main);
        if (!frame)
            return {};
        return desktop().grabPixels(area.translated(frame->x(), frame->y() + m_menuBarHeight));
    }

    // The tool bar row of the main window.
    QByteArray toolBarPixels() const { return clientPixels(QRect(0, 0, kMainClientSize.width(), 30)); }

    // The hint part of the status line: left of the time and date panels.
    QByteArray hintPixels() const { return clientPixels(QRect(2, 198, 338, 16)); }

    // Waits up to two seconds for the hint part to show `expected` (or, when `differ` is
    // set, anything but it); returns what it shows last.
    QByteArray waitForHint(const QByteArray& expected, bool differ = false) const
    {
        QByteArray shown;
        for (int waited = 0; waited <= 2000; waited += 50) {
            shown = hintPixels();
            if (!shown.isEmpty() && (shown == expected) != differ)
                break;
            QTest::qWait(50);
        }
        return shown;
    }

    // Whether a tooltip, in the info-tip colour, shows just below and right of `point` of the
    // main window.
    bool tooltipNear(QPoint point) const
    {
        const auto frame = desktop().geometry(m_main);
        const QByteArray pixels =
            frame ? desktop().grabPixels(QRect(frame->topLeft() + point, QSize(160, 48))) : QByteArray();
        for (qsizetype i = 0; i + 2 < pixels.size(); i += 3) {
            if (uchar(pixels[i]) == 255 && uchar(pixels[i + 1]) == 255 && uchar(pixels[i + 2]) == 225)
                return true;
        }
        return false;
    }

    // Rests the pointer on the banner, away from the tool buttons and their raised look.
    bool pointerOnBanner() const { return desktop().movePointer(m_main, QPoint(236, m_menuBarHeight + 110)); }

    // Checks the window with `caption` shows within the time allowed, at its size, centred
    // where the program places its windows (X11; on Wayland the compositor does).
    XWindowId expectWindow(const QString& caption, QSize clientSize)
    {
        const auto window = desktop().waitForWindow(caption);
        if (!window) {
            QTest::qFail(qPrintable(desktop().lastError()), __FILE__, __LINE__);
            return 0;
        }
        const auto frame = desktop().geometry(*window);
        const bool placed = frame && (m_display.isWayland() || (qAbs(frame->center().x() - 512) <= 1 &&
                                                                qAbs(frame->center().y() - 384) <= 1));
        if (!placed || frame->size() != clientSize) {
            const QString shown = frame ? QStringLiteral("%1x%2 at %3,%4")
                                              .arg(frame->width())
                                              .arg(frame->height())
                                              .arg(frame->x())
                                              .arg(frame->y())
                                        : desktop().lastError();
            QTest::qFail(qPrintable(caption + QStringLiteral(" shows as ") + shown), __FILE__, __LINE__);
            return 0;
        }
        return *window;
    }

    // Escape leaves the window open; its close box closes it, and the program goes on.
    void closeThroughTheCloseBox(XWindowId window)
    {
        QVERIFY(desktop().pressKeys(window, {QStringLiteral("Escape")}));
        QTest::qWait(300);
        QVERIFY2(desktop().isVisible(window), "Escape closed the window");
        QVERIFY(desktop().closeWindow(window));
        QVERIFY2(desktop().waitUntilGone(window), qPrintable(desktop().lastError()));
        QVERIFY(m_session->isRunning());
    }

    void setTools(bool on)
    {
        if (m_toolsOn == on)
            return;
        QVERIFY(desktop().pressKeys(m_main, kToolsKeys));
        m_toolsOn = on;
        QTest::qWait(200);
    }

private slots:
    void initTestCase()
    {
        E2E_START_DISPLAY(m_display);
        QVERIFY(m_workspace.writeStartFiles());
        m_session = std::make_unique<E2eSession>(m_display, m_workspace.workingDirectory());
        const auto main = m_session->startToMainWindow();
        QVERIFY(main);
        m_main = *main;
        const auto frame = desktop().geometry(m_main);
        QVERIFY(frame);
        m_menuBarHeight = frame->height() - kMainClientSize.height();
    }

    void cleanup()
    {
        if (!m_session)
            return;
        E2e::saveScreenIfFailed(desktop());
        if (QTest::currentTestFailed() && !m_session->isRunning())
            qWarning("the program has ended: %s", qPrintable(m_session->output()));
        // A failed check may leave a window open; the next test starts from the main window.
        for (const QString& caption :
             {kAboutCaption, kAboutNeoRageCaption, kAboutNeoGeoCaption, kConfigurationCaption,
              kGamesListCaption, kNeoGeoPlayCaption, kNeoRagePlayCaption}) {
            for (const XWindowId window : desktop().visibleWindows(caption)) {
                desktop().closeWindow(window);
                desktop().waitUntilGone(window, 3000);
            }
        }
    }

    void cleanupTestCase()
    {
        if (m_session && m_session->isRunning()) {
            QVERIFY(desktop().pressKeys(m_main, kExitKeys));
            QVERIFY2(m_session->waitForExit(5000) == 0, qPrintable(m_session->howItEnded()));
        }
    }

    // From its menu item (the keys) or from its tool button (its left edge; -1: none).
    void opensFromItsMenuItemAndToolButton_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("clientSize");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("buttonLeft");
        const auto row = [](const char* name, const QString& caption, QSize clientSize,
                            const QStringList& keys, int buttonLeft) {
            QTest::addRow("%s, menu", name) << caption << clientSize << keys << -1;
            if (buttonLeft >= 0)
                QTest::addRow("%s, tool button", name)
                    << caption << clientSize << QStringList() << buttonLeft;
        };
        row("NEO R.A.G.E. play", kNeoRagePlayCaption, QSize(240, 133), kPlayNeoRageKeys,
            kPlayNeoRageButtonLeft);
        row("NEO R.A.G.E. configuration", kConfigurationCaption, QSize(361, 181), kConfigurationKeys, -1);
        row("NEOGEO play", kNeoGeoPlayCaption, QSize(242, 94), kPlayNeoGeoKeys, kPlayNeoGeoButtonLeft);
        row("games list", kGamesListCaption, QSize(281, 192), kGamesListKeys, -1);
        row("about NEO R.A.G.E.", kAboutNeoRageCaption, QSize(310, 116), kAboutNeoRageKeys,
            kAboutNeoRageButtonLeft);
        row("about NEOGEO", kAboutNeoGeoCaption, QSize(261, 77), kAboutNeoGeoKeys, kAboutNeoGeoButtonLeft);
        row("about Orvelane", kAboutCaption, QSize(348, 194), kAboutKeys, kAboutButtonLeft);
    }

    void opensFromItsMenuItemAndToolButton()
    {
        QFETCH(QString, caption);
        QFETCH(QSize, clientSize);
        QFETCH(QStringList, keys);
        QFETCH(int, buttonLeft);

        if (buttonLeft < 0) {
            QVERIFY2(desktop().pressKeys(m_main, keys), qPrintable(desktop().lastError()));
        } else {
            setTools(true);
            QVERIFY2(desktop().click(m_main, toolButton(buttonLeft)), qPrintable(desktop().lastError()));
        }
        const XWindowId window = expectWindow(caption, clientSize);
        QVERIFY(window != 0);
        closeThroughTheCloseBox(window);
    }

    void hiddenToolButtonsOpenNothing()
    {
        setTools(false);
        QVERIFY(desktop().click(m_main, toolButton(kPlayNeoRageButtonLeft)));
        QVERIFY(desktop().click(m_main, toolButton(kAboutButtonLeft)));
        QTest::qWait(700);
        QVERIFY(desktop().visibleWindows(kNeoRagePlayCaption).isEmpty());
        QVERIFY(desktop().visibleWindows(kAboutCaption).isEmpty());
    }

    void toolsTwiceRestoresTheToolBar()
    {
        setTools(false);
        QVERIFY(pointerOnBanner());
        const QByteArray toolsOff = toolBarPixels();
        QVERIFY(!toolsOff.isEmpty());

        // The menu is gone once the keys are let go; the tool bar may be drawn anew a little later.
        setTools(true);
        const auto toolsShown = [this, &toolsOff] {
            const QByteArray now = toolBarPixels();
            return !now.isEmpty() && now != toolsOff;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(toolsShown(), "the tool bar looks the same with Tools on", 3000);

        setTools(false);
        QTRY_COMPARE_WITH_TIMEOUT(toolBarPixels(), toolsOff, 3000);
    }

    void theToolsButtonPutsTheButtonsAway()
    {
        setTools(true);
        QVERIFY2(desktop().click(m_main, toolButton(kToolsButtonLeft)), qPrintable(desktop().lastError()));
        m_toolsOn = false;
        QTest::qWait(300);
        QVERIFY2(desktop().click(m_main, toolButton(kAboutNeoGeoButtonLeft)),
                 qPrintable(desktop().lastError()));
        QTest::qWait(700);
        QVERIFY(desktop().visibleWindows(kAboutNeoGeoCaption).isEmpty());
        // View > Tools still brings them back.
        setTools(true);
        QVERIFY(desktop().click(m_main, toolButton(kAboutNeoGeoButtonLeft)));
        const XWindowId window = expectWindow(kAboutNeoGeoCaption, QSize(261, 77));
        QVERIFY(window != 0);
        closeThroughTheCloseBox(window);
    }

    // The status line shows the hint of whatever the pointer rests on, keeps it across the
    // clock's ticks, and follows a window that opens under a resting pointer.
    void theStatusLineFollowsThePointer()
    {
        setTools(true);
        QVERIFY(pointerOnBanner());
        QTest::qWait(300);
        const QByteArray overBanner = hintPixels();
        QVERIFY(!overBanner.isEmpty());

        QVERIFY(desktop().movePointer(m_main, toolButton(kPlayNeoRageButtonLeft)));
        const QByteArray overButton = waitForHint(overBanner, true);
        QVERIFY2(overButton != overBanner, "the hint stayed the banner's over a tool button");
        QTest::qWait(1500);
        QCOMPARE(hintPixels(), overButton);

        QVERIFY(pointerOnBanner());
        QCOMPARE(waitForHint(overBanner), overBanner);

        // The NEOGEO play window opens. On X11 the program centres it, under the resting
        // pointer, and the status line follows it; on Wayland the compositor places it, and
        // where it opens away from the pointer, the blocked main window still names the banner.
        const QPoint pointer = desktop().geometry(m_main)->topLeft() + QPoint(236, m_menuBarHeight + 110);
        QVERIFY(desktop().pressKeys(m_main, kPlayNeoGeoKeys));
        const auto play = desktop().waitForWindow(kNeoGeoPlayCaption);
        QVERIFY(play);
        const QRect playArea = desktop().geometry(*play).value_or(QRect());
        QVERIFY(m_display.isWayland() || playArea.contains(pointer));
        if (playArea.contains(pointer)) {
            QVERIFY2(waitForHint(overBanner, true) != overBanner, "the hint did not follow the new window");
        } else if (!playArea.adjusted(-5, -40, 5, 5).contains(pointer)) {
            QTest::qWait(300);
            QCOMPARE(hintPixels(), overBanner);
        }
        // Over the play window the status line shows its hint. Weston may have put it over the
        // main window's tool bar; it is moved off the main window first.
        if (m_display.isWayland())
            QVERIFY2(desktop().dragAwayFrom(*play, m_main), qPrintable(desktop().lastError()));
        QVERIFY(desktop().movePointer(*play, QPoint(20, 20)));
        const QByteArray overPlay = waitForHint(overBanner, true);
        QVERIFY2(overPlay != overBanner && overPlay != overButton, "the hint did not follow the pointer in");

        // The main window, though blocked, still names what the pointer rests on.
        QVERIFY(desktop().movePointer(m_main, toolButton(kPlayNeoRageButtonLeft)));
        QCOMPARE(waitForHint(overButton), overButton);
        QVERIFY(desktop().movePointer(m_main, toolButton(kAboutButtonLeft)));
        const QByteArray overAnotherButton = waitForHint(overButton, true);
        QVERIFY2(overAnotherButton != overButton, "the hint stayed put over the blocked main window");
        QVERIFY(desktop().movePointer(*play, QPoint(20, 20)));
        QCOMPARE(waitForHint(overPlay), overPlay);

        QVERIFY(desktop().closeWindow(*play));
        QVERIFY(desktop().waitUntilGone(*play));
    }

    // Each tool button the pointer rests on names itself on the status line, apart from the
    // banner and the other buttons, and shows its tooltip next to the pointer while the
    // program is the active one.
    void aRestingPointerShowsTheButtonsHintAndTooltip_data()
    {
        QTest::addColumn<int>("buttonLeft");
        QTest::newRow("Tools") << kToolsButtonLeft;
        QTest::newRow("play NEO R.A.G.E.") << kPlayNeoRageButtonLeft;
        QTest::newRow("play NEOGEO") << kPlayNeoGeoButtonLeft;
        QTest::newRow("about Orvelane") << kAboutButtonLeft;
        QTest::newRow("about NEO R.A.G.E.") << kAboutNeoRageButtonLeft;
        QTest::newRow("about NEOGEO") << kAboutNeoGeoButtonLeft;
    }

    void aRestingPointerShowsTheButtonsHintAndTooltip()
    {
        QFETCH(int, buttonLeft);
        setTools(true);
        QVERIFY(desktop().focus(m_main));
        const QPoint button = toolButton(buttonLeft);
        QVERIFY(pointerOnBanner());
        QTRY_VERIFY2_WITH_TIMEOUT(!tooltipNear(button), "the last tooltip stayed over the banner", 4000);
        if (m_hintsSeen.isEmpty()) {
            QTest::qWait(300);
            m_hintsSeen.append(hintPixels());
        }

        QVERIFY(desktop().movePointer(m_main, button));
        const QByteArray hint = waitForHint(m_hintsSeen.front(), true);
        QVERIFY2(!hint.isEmpty() && !m_hintsSeen.contains(hint), "the status line did not name the button");
        m_hintsSeen.append(hint);
        QTRY_VERIFY2_WITH_TIMEOUT(tooltipNear(button), "no tooltip showed", 3000);
        if (buttonLeft == kAboutButtonLeft)
            QTRY_VERIFY2_WITH_TIMEOUT(!tooltipNear(button), "the tooltip stayed", 6000);
    }

    void theMainWindowWaitsWhileAWindowIsOpen()
    {
        QVERIFY(desktop().pressKeys(m_main, kAboutKeys));
        const auto about = desktop().waitForWindow(kAboutCaption);
        QVERIFY(about);

        // Neither its menu nor its close box reaches the main window meanwhile.
        QVERIFY(desktop().pressKeys(m_main, kAboutNeoGeoKeys));
        QVERIFY(desktop().closeWindow(m_main));
        QVERIFY(m_session->keepsRunningFor(700));
        QVERIFY(desktop().visibleWindows(kAboutNeoGeoCaption).isEmpty());
        QVERIFY(desktop().isVisible(m_main));

        QVERIFY(desktop().closeWindow(*about));
        QVERIFY(desktop().waitUntilGone(*about));
        // And once it is closed, the main window takes input again.
        QVERIFY(desktop().pressKeys(m_main, kAboutNeoGeoKeys));
        const XWindowId aboutNeoGeo = expectWindow(kAboutNeoGeoCaption, QSize(261, 77));
        QVERIFY(aboutNeoGeo != 0);
        closeThroughTheCloseBox(aboutNeoGeo);
    }
};

QTEST_GUILESS_MAIN(WindowsTest)
#include "tst_windows.moc"
