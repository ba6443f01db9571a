// Where hints show: the status line follows the pointer over every window of the program,
// the highlighted menu item while a menu is open; tooltips only on the tool bar and status line.
#include "FakeHost.h"
#include "HintRouter.h"
#include "HintTooltips.h"
#include "Unit1.h"
#include "Unit7.h"
#include "WidgetTestMain.h"
#include "Widgets.h"

#include <QCursor>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include <memory>

class HintRoutingTest : public QObject {
    Q_OBJECT

private:
    FakeHost m_host;
    std::unique_ptr<TForm1> m_form;

    template <typename T = QWidget> T* control(const char* name) const
    {
        return support::control<T>(m_form.get(), name);
    }

    QString statusLine() const { return control<QLabel>("BarraDeEstado")->text(); }

    // Rests the pointer on the middle of `widget` and lets the idle lookup run.
    void pointAt(const QWidget* widget, QPoint offset = {})
    {
        support::movePointerOnto(widget, offset);
        m_form->hintRouter().update();
    }

private slots:
    void init()
    {
        m_form = std::make_unique<TForm1>(m_host);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    void cleanup() { m_form.reset(); }

    void statusLineShowsTheLongHintOfTheControlUnderThePointer_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("toolsOn");
        QTest::addColumn<QString>("status");
        QTest::newRow("banner") << "Image1" << false << " Orvelane";
        QTest::newRow("status line itself") << "BarraDeEstado" << false << " Orvelane";
        QTest::newRow("clock panel") << "Panel1" << false << " Orvelane";
        QTest::newRow("tool bar") << "BarraDeBotones" << false << " Orvelane";
        QTest::newRow("disabled tools button") << "SpeedButton1" << false << " Undo  Tools";
        QTest::newRow("play NEO RAGE button")
            << "SpeedButton6" << true << " Play  The  Games  . . .  NEO R.A.G.E.";
        QTest::newRow("about NEOGEO button") << "SpeedButton7" << true << " About  Of...  NEOGEO";
    }

    void statusLineShowsTheLongHintOfTheControlUnderThePointer()
    {
        QFETCH(QString, control);
        QFETCH(bool, toolsOn);
        QFETCH(QString, status);
        if (toolsOn)
            this->control<QAction>("Barradeherramientas1")->trigger();
        pointAt(this->control(qPrintable(control)));
        QCOMPARE(statusLine(), status);
    }

    void aHiddenButtonDoesNotCount()
    {
        // SpeedButton6 is hidden while the tool bar is off: the tool bar's hint shows.
        auto* hidden = control<QToolButton>("SpeedButton6");
        pointAt(control("BarraDeBotones"),
                hidden->geometry().center() - control("BarraDeBotones")->rect().center());
        QCOMPARE(statusLine(), QString(" Orvelane"));
    }

    void movingFromAButtonToTheBannerChangesTheStatusLine()
    {
        control<QAction>("Barradeherramientas1")->trigger();
        pointAt(control("SpeedButton2"));
        QCOMPARE(statusLine(), QString(" Play  The  Games  . . .  NEOGEO"));
        pointAt(control("Image1"));
        QCOMPARE(statusLine(), QString(" Orvelane"));
    }

    void outsideTheProgramTheHintIsEmpty()
    {
        pointAt(control("Image1"));
        support::movePointerOff(m_form.get(), m_form->frameGeometry().bottomRight() + QPoint(50, 50));
        m_form->hintRouter().update();
        QCOMPARE(m_form->hintRouter().hint(), QString());
    }

    void theHandlerRunsOnlyWhenTheHintChanges()
    {
        QSignalSpy changes(&m_form->hintRouter(), &HintRouter::hintChanged);
        pointAt(control("Image1"));
        pointAt(control("Image1"), QPoint(5, 3));
        pointAt(control("BarraDeEstado"));
        QCOMPARE(changes.count(), 1);
        pointAt(control("SpeedButton1"));
        QCOMPARE(changes.count(), 2);
    }

    void overAModalWindowTheStatusLineFollowsItsHint()
    {
        QString seen;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            pointAt(modal);
            seen = statusLine();
            modal->close();
        });
        control<QAction>("Play2")->trigger();
        QCOMPARE(seen, QString(" NEOGEO  . . .  Play  The  Game"));
    }

    // Over a window a modal one blocks only Qt's pointer position tells: the main window keeps
    // naming the control the pointer rests on when a modal window opens away from it, and a
    // pointer that left the modal window without moving that position is over no window.
    void overABlockedWindowThePointersPositionCounts()
    {
        pointAt(control("SpeedButton1"));
        QStringList seen;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            m_form->hintRouter().update();
            seen << statusLine();
            pointAt(modal);
            support::movePointerOff(modal, QCursor::pos());
            m_form->hintRouter().update();
            seen << statusLine();
            modal->close();
        });
        control<QAction>("Play2")->trigger();
        QCOMPARE(seen, (QStringList{" Undo  Tools", ""}));
    }

    // On Wayland a menu takes the pointer as it opens; when a modal window opens from the menu,
    // Qt drops the word that the pointer is back, and the pointer has not moved.
    void aMenuThatTookThePointerLeavesItWhereItWas()
    {
        pointAt(control("SpeedButton1"));
        auto* play = control<QMenu>("HardWare1");
        play->popup(m_form->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(play->isVisible());
        support::movePointerOff(m_form.get(), QCursor::pos());
        play->close();
        QString seen;
        QTimer::singleShot(0, [&] {
            m_form->hintRouter().update();
            seen = statusLine();
            QApplication::activeModalWidget()->close();
        });
        control<QAction>("Play2")->trigger();
        QCOMPARE(seen, QString(" Undo  Tools"));
    }

    // An error box over the play window over the main window: each point belongs to the
    // uppermost window there, whatever order Qt keeps its windows in.
    void overStackedModalWindowsTheUppermostOneCounts()
    {
        for (int round = 0; round < 10; ++round) {
            QStringList seen;
            QTimer::singleShot(0, [&] {
                QWidget* play = QApplication::activeModalWidget();
                // A corner of the play window, which lies over the main window too.
                const QPoint corner = QPoint(3, 3) - play->rect().center();
                pointAt(play, corner);
                QWidget box(play, Qt::Dialog);
                box.setWindowModality(Qt::ApplicationModal);
                box.setFixedSize(40, 40);
                box.move(play->geometry().center());
                box.show();
                m_form->hintRouter().update();
                seen << statusLine();
                pointAt(&box);
                seen << statusLine();
                // Back on the play window's corner as the box closes: nothing crosses into
                // the play window then, and it keeps the pointer.
                support::movePointerOff(&box, play->mapToGlobal(QPoint(3, 3)));
                pointAt(play, corner);
                box.hide();
                m_form->hintRouter().update();
                seen << statusLine();
                play->close();
            });
            control<QAction>("Play1")->trigger();
            QCOMPARE(seen, (QStringList{" NEO R.A.G.E.  . . .  Play  The  Game", "",
                                        " NEO R.A.G.E.  . . .  Play  The  Game"}));
        }
    }

    void whileAMenuIsOpenTheHighlightedItemsHintShows()
    {
        auto* play = control<QMenu>("HardWare1");
        auto* neoRage = control<QMenu>("J1");
        play->popup(m_form->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(play->isVisible());
        m_form->hintRouter().update();
        QCOMPARE(statusLine(), QString());
        play->setActiveAction(control<QAction>("Terminar1"));
        m_form->hintRouter().update();
        QCOMPARE(statusLine(), QString(" Exit  To  . . .  Orvelane"));
        play->setActiveAction(neoRage->menuAction());
        m_form->hintRouter().update();
        QCOMPARE(statusLine(), QString(" Orvelane  . . .  NEO R.A.G.E."));
        play->close();
        QTRY_VERIFY(!play->isVisible());
        pointAt(control("Image1"));
        QCOMPARE(statusLine(), QString(" Orvelane"));
    }

    void tooltipsShowTheShortHintOnlyOnTheToolBarAndStatusLine_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("tooltip");
        const auto row = [](const char* name, const char* control, const char* tooltip) {
            QTest::newRow(name) << control << tooltip;
        };
        row("tools button", "SpeedButton1", "Tools");
        row("play NEOGEO", "SpeedButton2", "Play ... NEOGEO");
        row("about NEO RAGE", "SpeedButton4", "About Of...  NEO RAGE");
        row("tool bar", "BarraDeBotones", "Orvelane");
        row("status line", "BarraDeEstado", " Orvelane");
        row("date panel", "Panel2", " Orvelane");
        row("banner: tooltips off", "Image1", "");
    }

    void tooltipsShowTheShortHintOnlyOnTheToolBarAndStatusLine()
    {
        QFETCH(QString, control);
        QFETCH(QString, tooltip);
        QCOMPARE(HintTooltips::tooltipFor(this->control(qPrintable(control))), tooltip);
    }

    // Qt asks for the next tooltip 20 ms after the pointer moved on from one that was showing;
    // it shows only once the pointer has rested 50 ms.
    void aTooltipAskedForAtOnceWaitsUntilThePointerRested()
    {
        control<QAction>("Barradeherramientas1")->trigger();
        auto* button = control("SpeedButton6");
        QVERIFY(!HintTooltips::tooltipFor(button).isEmpty());
        QToolTip::hideText();
        support::movePointerOnto(button);
        const QPoint middle = button->rect().center();
        QHelpEvent ask(QEvent::ToolTip, middle, button->mapToGlobal(middle));
        QCoreApplication::sendEvent(button, &ask);
        QVERIFY(!QToolTip::isVisible());
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), HintTooltips::tooltipFor(button));
    }

    void tooltipsAreOffInsideSecondaryWindows()
    {
        TForm7 play(m_host, m_form.get());
        QVERIFY(!HintTooltips::showsHints(&play));
        for (QWidget* child : play.findChildren<QWidget*>())
            QVERIFY2(HintTooltips::tooltipFor(child).isEmpty(), qPrintable(child->objectName()));
    }
};

ORVELANE_WIDGET_TEST_MAIN(HintRoutingTest)

#include "tst_hintrouting.moc"
