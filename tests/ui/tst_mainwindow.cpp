// The main window: its menu tree, commands, tool bar states, check marks and clock.
#include "FakeHost.h"
#include "HintRouter.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"
#include "Unit5.h"
#include "Unit6.h"
#include "Unit7.h"
#include "Unit8.h"
#include "Version.h"
#include "WidgetTestMain.h"
#include "Widgets.h"

#include <QAccessible>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    FakeHost m_host;
    std::unique_ptr<TForm1> m_form;

    template <typename T> T* control(const char* name) const
    {
        return support::control<T>(m_form.get(), name);
    }

    QStringList visibleButtons() const
    {
        QStringList names;
        for (auto* button : control<QWidget>("BarraDeBotones")->findChildren<QToolButton*>())
            if (!button->isHidden())
                names << button->objectName() + (button->isEnabled() ? "" : "(disabled)");
        names.sort();
        return names;
    }

private slots:
    void init()
    {
        m_host = FakeHost();
        m_host.files = {"neogeo.exe", "neo-geo.rom"};
        m_form = std::make_unique<TForm1>(m_host);
    }

    void cleanup() { m_form.reset(); }

    void windowHasItsCaptionAndFixedClientArea()
    {
        QCOMPARE(m_form->windowTitle(), QString(" Orvelane   -   v " ORVELANE_VERSION));
        QCOMPARE(m_form->centralWidget()->size(), QSize(473, 216));
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
        QVERIFY(!(m_form->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(m_form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(m_form->centralWidget()->palette().color(QPalette::Window), QColor(Qt::black));
    }

    // A title bar that offers maximising anyway (Qt's own, on Wayland) cannot change the size:
    // the main window and a secondary one alike go back to their own.
    void maximisingIsUndone()
    {
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        TForm2 about(m_form.get());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        for (QWidget* window : {static_cast<QWidget*>(m_form.get()), static_cast<QWidget*>(&about)}) {
            const QSize size = window->size();
            window->showMaximized();
            QTRY_COMPARE(window->windowState(), Qt::WindowNoState);
            window->showFullScreen();
            QTRY_COMPARE(window->windowState(), Qt::WindowNoState);
            QCOMPARE(window->size(), size);
        }
    }

    // The icon is there from the first showing, at the desktop's sizes, and drawn.
    void windowHasItsIconFromTheStart()
    {
        const QIcon icon = m_form->windowIcon();
        for (const QSize size : {QSize(16, 16), QSize(32, 32), QSize(48, 48), QSize(64, 64)})
            QVERIFY2(icon.availableSizes().contains(size), qPrintable(QString::number(size.width())));
        const QImage drawn = icon.pixmap(QSize(32, 32)).toImage();
        QCOMPARE(drawn.size(), QSize(32, 32));
        QVERIFY(drawn.pixelColor(16, 16).alpha() == 255);
        QVERIFY(drawn.pixelColor(16, 16) != drawn.pixelColor(0, 16));
    }

    void menuItemsHaveTheirCaptionsAndHints_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parentMenu");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        auto row = [](const char* name, const char* parent, const char* caption, const char* hint) {
            QTest::newRow(name) << name << parent << caption << hint;
        };
        row("HardWare1", "MainMenu1", "&Play", " Orvelane");
        row("J1", "HardWare1", "&NEO-RAGE", " Orvelane  . . .  NEO R.A.G.E.");
        row("Play1", "J1", "Play The Game", " NEO R.A.G.E.  . . .  Play  The  Game");
        row("Options1", "J1", "Configuration", " NEO R.A.G.E.  . . .  Configuration");
        row("NEOGEO2", "HardWare1", "N&EOGEO", " Orvelane  . . .  NEOGEO");
        row("Play2", "NEOGEO2", "Play The Game", " NEOGEO  . . .  Play  The  Game");
        row("Terminar1", "HardWare1", "E&xit", " Exit  To  . . .  Orvelane");
        row("Ver1", "MainMenu1", "&View", " Orvelane");
        row("NOEGEO1", "Ver1", "&Check", " Check  Of . . .  NEO-GEO");
        row("Hola1", "NOEGEO1", "NEO GEO", " Check  NEO GEO");
        row("NEORAGE3", "NOEGEO1", "NEO R.A.G.E.", " Check  NEO R.A.G.E.");
        row("SystemBIOS2", "NOEGEO1", "System  B.I.O.S.", " Check  System  B.I.O.S.  of . . .  NEO-GEO");
        row("Barradeherramientas1", "Ver1", "&Tools", " Active  /  Undo  Tools");
        row("List1", "MainMenu1", "&List", " Orvelane");
        row("Gamesof1", "List1", "&Games of ...  NEO-GEO", " Encyclopedia  of  the  Existent  Games");
        row("help", "MainMenu1", "&Help", " Orvelane");
        row("NEORAGE1", "help", "&NEORAGE", " About  Of...  NEO R.A.G.E.");
        row("NEOGEO1", "help", "N&EOGEO", " About  Of...  NEOGEO");
        row("Aboutof1", "help", "&About of ...", " About  Of...  Orvelane");
    }

    void menuItemsHaveTheirCaptionsAndHints()
    {
        QFETCH(QString, name);
        QFETCH(QString, parentMenu);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QWidget* parent = m_form->findChild<QWidget*>(parentMenu);
        QVERIFY(parent);
        const QAction* item = nullptr;
        for (const QAction* candidate : parent->actions()) {
            const QObject* owner = candidate->menu() ? static_cast<QObject*>(candidate->menu()) : candidate;
            if (owner->objectName() == name)
                item = candidate;
        }
        QVERIFY2(item, "the item is not in its parent menu");
        QCOMPARE(item->text(), caption);
        QCOMPARE(HintRouter::hintOf(item), hint);
    }

    void menusListTheirItemsInOrder()
    {
        auto names = [this](const char* menu) {
            QStringList list;
            for (const QAction* item : control<QWidget>(menu)->actions())
                list << (item->isSeparator() ? QString("-")
                         : item->menu()      ? item->menu()->objectName()
                                             : item->objectName());
            return list.join(' ');
        };
        QCOMPARE(names("MainMenu1"), QString("HardWare1 Ver1 List1 help"));
        QCOMPARE(names("HardWare1"), QString("J1 NEOGEO2 - Terminar1"));
        QCOMPARE(names("Ver1"), QString("NOEGEO1 Barradeherramientas1"));
        QCOMPARE(names("help"), QString("NEORAGE1 NEOGEO1 - Aboutof1"));
    }

    void eachCommandOpensItsWindow_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("toolButton");
        QTest::addColumn<QString>("window");
        QTest::newRow("Play1") << "Play1" << false << "TForm8";
        QTest::newRow("SpeedButton6") << "SpeedButton6" << true << "TForm8";
        QTest::newRow("Options1") << "Options1" << false << "TForm5";
        QTest::newRow("Play2") << "Play2" << false << "TForm7";
        QTest::newRow("SpeedButton2") << "SpeedButton2" << true << "TForm7";
        QTest::newRow("Gamesof1") << "Gamesof1" << false << "TForm6";
        QTest::newRow("NEORAGE1") << "NEORAGE1" << false << "TForm3";
        QTest::newRow("SpeedButton4") << "SpeedButton4" << true << "TForm3";
        QTest::newRow("NEOGEO1") << "NEOGEO1" << false << "TForm4";
        QTest::newRow("SpeedButton7") << "SpeedButton7" << true << "TForm4";
        QTest::newRow("Aboutof1") << "Aboutof1" << false << "TForm2";
        QTest::newRow("SpeedButton3") << "SpeedButton3" << true << "TForm2";
    }

    void eachCommandOpensItsWindow()
    {
        QFETCH(QString, command);
        QFETCH(bool, toolButton);
        QFETCH(QString, window);
        m_form->show();
        if (toolButton)
            control<QAction>("Barradeherramientas1")->trigger();
        // Over the main window, as its transient child: a compositor keeps it above.
        QString over;
        const QString opened = support::modalOpenedBy(
            [&] {
                if (toolButton)
                    QTest::mouseClick(control<QToolButton>(qPrintable(command)), Qt::LeftButton);
                else
                    control<QAction>(qPrintable(command))->trigger();
            },
            &over);
        QCOMPARE(opened, window);
        QCOMPARE(over, QString("TForm1"));
    }

    void everyOpeningIsAFreshInstance()
    {
        support::modalOpenedBy([this] { control<QAction>("Aboutof1")->trigger(); });
        QPointer<TForm2> first = Form2;
        QVERIFY(first);
        support::modalOpenedBy([this] { control<QAction>("Aboutof1")->trigger(); });
        QVERIFY(Form2 != nullptr);
        QVERIFY2(first.isNull(), "the superseded instance is released");
    }

    void exitEndsTheEventLoop()
    {
        QTimer::singleShot(0, [this] { control<QAction>("Terminar1")->trigger(); });
        QTimer guard;
        guard.setSingleShot(true);
        bool timedOut = false;
        connect(&guard, &QTimer::timeout, [&timedOut] {
            timedOut = true;
            QCoreApplication::quit();
        });
        guard.start(5000);
        QCoreApplication::exec();
        QVERIFY(!timedOut);
    }

    // The tool bar starts with only the Tools button, greyed.
    void toolsToggleShowsAndHidesTheButtons()
    {
        QCOMPARE(visibleButtons(), QStringList{"SpeedButton1(disabled)"});
        QVERIFY(!m_form->toolsOn());
        const QStringList allOn{"SpeedButton1", "SpeedButton2", "SpeedButton3",
                                "SpeedButton4", "SpeedButton6", "SpeedButton7"};
        auto* tools = control<QAction>("Barradeherramientas1");
        tools->trigger();
        QCOMPARE(visibleButtons(), allOn);
        QVERIFY(tools->isChecked());
        tools->trigger();
        QCOMPARE(visibleButtons(), QStringList{"SpeedButton1(disabled)"});
        QVERIFY(!tools->isChecked());
    }

    void toolsButtonTurnsTheToolBarOff()
    {
        m_form->show();
        control<QAction>("Barradeherramientas1")->trigger();
        QTest::mouseClick(control<QToolButton>("SpeedButton1"), Qt::LeftButton);
        QCOMPARE(visibleButtons(), QStringList{"SpeedButton1(disabled)"});
        QVERIFY(!control<QAction>("Barradeherramientas1")->isChecked());
    }

    void checkMarksShowWhichFilesArePresent_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("marks"); // NEO GEO, NEO R.A.G.E., System B.I.O.S.
        QTest::newRow("NEOGEO and the system ROM") << QStringList{"neogeo.exe", "neo-geo.rom"} << "101";
        QTest::newRow("NEO R.A.G.E. only") << QStringList{"neorage.exe"} << "010";
        QTest::newRow("none") << QStringList{} << "000";
    }

    void checkMarksShowWhichFilesArePresent()
    {
        QFETCH(QStringList, files);
        m_host.files.clear();
        for (const QString& file : files)
            m_host.files.insert(file.toStdString());
        TForm1 form(m_host);
        QString marks;
        for (const char* name : {"Hola1", "NEORAGE3", "SystemBIOS2"})
            marks += form.findChild<QAction*>(name)->isChecked() ? '1' : '0';
        QTEST(marks, "marks");
    }

    void clickingACheckItemChangesNothing()
    {
        control<QAction>("Hola1")->trigger();
        control<QAction>("NEORAGE3")->trigger();
        QVERIFY(control<QAction>("Hola1")->isChecked());
        QVERIFY(!control<QAction>("NEORAGE3")->isChecked());
    }

    // A screen reader reads a glyph button by its hints, a picture by a short name.
    void textlessControlsHaveAccessibleNames_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        auto row = [](const char* control, const char* name, const char* description) {
            QTest::newRow(control) << control << name << description;
        };
        row("SpeedButton1", "Tools", " Undo  Tools");
        row("SpeedButton6", "Play ... NEO RAGE", " Play  The  Games  . . .  NEO R.A.G.E.");
        row("Image1", "Orvelane", "");
    }

    void textlessControlsHaveAccessibleNames()
    {
        QFETCH(QString, control);
        QFETCH(QString, name);
        QFETCH(QString, description);
        QAccessibleInterface* face =
            QAccessible::queryAccessibleInterface(m_form->findChild<QWidget*>(control));
        QVERIFY(face);
        QCOMPARE(face->text(QAccessible::Name), name);
        QCOMPARE(face->text(QAccessible::Description), description);
    }

    // NEO GEO checked and NEO R.A.G.E. clear, against the same items made plain: the clear
    // item draws nothing more, the checked one only a small tick with blank corners, no box.
    void checkMarksAreATickOrNothing()
    {
        auto* menu = control<QMenu>("NOEGEO1");
        menu->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        const QImage marked = menu->grab().toImage();
        for (const char* name : {"Hola1", "NEORAGE3", "SystemBIOS2"})
            control<QAction>(name)->setCheckable(false);
        const QImage plain = menu->grab().toImage();
        const auto changed = [&](const char* name) {
            QRect found;
            const QRect item = menu->actionGeometry(control<QAction>(name));
            for (int y = item.top(); y <= item.bottom(); ++y)
                for (int x = item.left(); x <= item.right(); ++x)
                    if (marked.pixel(x, y) != plain.pixel(x, y))
                        found |= QRect(x, y, 1, 1);
            return found;
        };
        QCOMPARE(changed("NEORAGE3"), QRect());
        const QRect tick = changed("Hola1");
        QVERIFY(tick.width() >= 5 && tick.height() >= 5 && tick.width() <= 12 && tick.height() <= 12);
        QCOMPARE(marked.pixel(tick.topLeft()), plain.pixel(tick.topLeft()));
        QCOMPARE(marked.pixel(tick.bottomRight()), plain.pixel(tick.bottomRight()));
    }

    void clockPanelsAreEmptyUntilTheFirstTick()
    {
        QCOMPARE(control<QLabel>("Panel1")->text(), QString());
        QCOMPARE(control<QLabel>("Panel2")->text(), QString());
        QTRY_COMPARE(control<QLabel>("Panel1")->text(), QString("9:05:09 PM"));
        QCOMPARE(control<QLabel>("Panel2")->text(), QString("12/7/26"));
    }

    void clockFollowsTheSecondsAndTheDate()
    {
        QTRY_VERIFY(!control<QLabel>("Panel1")->text().isEmpty());
        m_host.clock = QDateTime(QDate(2026, 12, 8), QTime(0, 0, 0, 3));
        m_form->Timer1Timer();
        QCOMPARE(control<QLabel>("Panel1")->text(), QString("12:00:00 AM"));
        QCOMPARE(control<QLabel>("Panel2")->text(), QString("12/8/26"));
    }

    // Newer locale data writes a narrow no-break space before the marker: the clock shows
    // it, or a no-break space where no font has it, and never a box for a missing letter.
    void clockDrawsTheNarrowBlankOfNewerLocales()
    {
        m_host.formats.longTime = QStringLiteral("h:mm:ss\u202fAP");
        QEvent localeChange(QEvent::LocaleChange);
        QCoreApplication::sendEvent(m_form.get(), &localeChange);
        m_form->Timer1Timer();
        auto* clock = control<QLabel>("Panel1");
        const QString text = clock->text();
        QVERIFY2(text == QStringLiteral("9:05:09\u202fPM") || text == QStringLiteral("9:05:09\u00a0PM"),
                 qPrintable(text));
        const QFontMetrics metrics(clock->font());
        QVERIFY(metrics.inFontUcs4(text[7].unicode()));
        QVERIFY(metrics.horizontalAdvance(text[7]) <= metrics.horizontalAdvance(u' '));
    }

    void anEscapedErrorShowsAMessageAndTheProgramGoesOn()
    {
        struct Thrower : QObject {
            bool event(QEvent* event) override
            {
                if (event->type() == QEvent::User)
                    throw std::runtime_error("Disk not ready");
                return QObject::event(event);
            }
        } thrower;
        QEvent trigger(QEvent::User);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        const auto box = support::catchBox([&] { QCoreApplication::sendEvent(&thrower, &trigger); });
        QCOMPARE(box.over, QString("TForm1"));
        QCOMPARE(box.caption, QString("Orvelane"));
        QCOMPARE(box.text, QString("Disk not ready."));
        QCOMPARE(box.icon, QMessageBox::Critical);
    }
};

ORVELANE_WIDGET_TEST_MAIN(MainWindowTest)

#include "tst_mainwindow.moc"
