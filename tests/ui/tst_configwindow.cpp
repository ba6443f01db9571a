// The NEO R.A.G.E. configuration window: what it writes to the settings file and when, and its looks.
#include "BevelPanel.h"
#include "FakeHost.h"
#include "PictureLabel.h"
#include "SettingsBytes.h"
#include "Unit5.h"
#include "WidgetTestMain.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>

namespace {

using support::control;
using support::settingsBytes;

// A settings file on a share that has stopped answering: its reads or saves wait until let go.
// The store says so after 0.3 s.
struct HeldFileHost : FakeHost {
    HeldFileHost() : FakeHost(std::chrono::milliseconds(300)) {}
    ~HeldFileHost() override { hold(false, false); }

    void loadFile(OptionsRecord& record) override
    {
        wait(&HeldFileHost::reads);
        FakeHost::loadFile(record);
    }
    WriteResult saveFile(OptionsRecord& record) override
    {
        wait(&HeldFileHost::saves);
        return FakeHost::saveFile(record);
    }
    // Holds from now on the reads, the saves, both or neither (letting go of those held).
    void hold(bool holdReads, bool holdSaves)
    {
        const std::lock_guard lock(mutex);
        reads = holdReads;
        saves = holdSaves;
        changed.notify_all();
    }
    void wait(bool HeldFileHost::*held)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !(this->*held); });
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool reads = false, saves = false;
};

const QString kNoAnswer = QStringLiteral(
    "\"/work/ORVELANE.DAT\": no answer within 0.3 seconds (it may be on a drive or a network share that "
    "does not respond).");

// `bytes` with another 20-character header in front.
QByteArray withHeader(QByteArray bytes, const QByteArray& header)
{
    return bytes.replace(0, header.size(), header);
}

} // namespace

class ConfigWindowTest : public QObject {
    Q_OBJECT

private:
    FakeHost m_host;

    void writeSettings(const QByteArray& bytes) { m_host.settingsFile = bytes; }
    // The file, and the saves since the last call, once every save asked for has run.
    QByteArray readSettings()
    {
        m_host.settle();
        return m_host.settingsFile.value_or(QByteArray());
    }
    int takeWrites()
    {
        m_host.settle();
        return std::exchange(m_host.settingsSaves, 0);
    }

    // The configuration window over `host`, shown, once the reads it asked for are answered.
    static std::unique_ptr<TForm5> openWindow(FakeHost& host)
    {
        auto form = std::make_unique<TForm5>(host);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qFatal("the configuration window did not show");
        host.settle();
        return form;
    }
    std::unique_ptr<TForm5> openWindow() { return openWindow(m_host); }

    // The four boxes as a text of 0/1, CheckBox1 first.
    static QString boxStates(const QWidget* form)
    {
        QString states;
        for (int i = 1; i <= 4; ++i)
            states += control<QCheckBox>(form, QString("CheckBox%1").arg(i))->isChecked() ? '1' : '0';
        return states;
    }

    void clickBox(const QWidget* form, int number)
    {
        QTest::mouseClick(control<QCheckBox>(form, QString("CheckBox%1").arg(number)), Qt::LeftButton);
        m_host.settle();
    }

private slots:
    void init() { m_host = FakeHost(); }

    void openingRewritesTheFileOncePerSwitchOn_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<int>("writes");
        QTest::addColumn<QByteArray>("after");
        const QByteArray noneOn = withHeader(settingsBytes(0x5A, 0xA5, 0, 0, 0, 0), "any header at all...");
        QTest::newRow("no switch on: untouched") << noneOn << "0000" << 0 << noneOn;
        QTest::newRow("two switches on, foreign header")
            << withHeader(settingsBytes(0x5A, 0xA5, 1, 0, 0, 1), "XXXXXXXXXXXXXXXXXXXX") << "1001" << 2
            << settingsBytes(0x5A, 0xA5, 1, 0, 0, 1);
        QTest::newRow("all four on") << settingsBytes(7, 9, 1, 1, 1, 1) << "1111" << 4
                                     << settingsBytes(7, 9, 1, 1, 1, 1);
        QByteArray vgaCopiesDisagree = settingsBytes(3, 4, 0, 1, 0, 0);
        vgaCopiesDisagree[34] = 1;
        QTest::newRow("VgaMode copies disagree, last one wins")
            << vgaCopiesDisagree << "0110" << 2 << settingsBytes(3, 4, 0, 1, 1, 0);
        QByteArray vgaOnlyAt24 = settingsBytes(0, 0, 0, 0, 0, 0);
        vgaOnlyAt24[24] = 1;
        QTest::newRow("VgaMode set at 24 only is off") << vgaOnlyAt24 << "0000" << 0 << vgaOnlyAt24;
    }

    void openingRewritesTheFileOncePerSwitchOn()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, boxes);
        QFETCH(int, writes);
        QFETCH(QByteArray, after);
        writeSettings(file);
        takeWrites();

        auto form = openWindow();
        QCOMPARE(boxStates(form.get()), boxes);
        QCOMPARE(takeWrites(), writes);
        QCOMPARE(readSettings(), after);
    }

    void clickingABoxWritesItsSwitchAtOnce_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QList<int>>("offsets");
        QTest::newRow("CheckBox1 No Scanlines") << 1 << QList<int>{22};
        QTest::newRow("CheckBox2 Enable Vsync") << 2 << QList<int>{23};
        QTest::newRow("CheckBox3 V.G.A.") << 3 << QList<int>{24, 26, 27, 28, 29, 30, 31, 32, 33, 34};
        QTest::newRow("CheckBox4 FrameSkip") << 4 << QList<int>{25};
    }

    void clickingABoxWritesItsSwitchAtOnce()
    {
        QFETCH(int, box);
        QFETCH(QList<int>, offsets);
        const QByteArray allOff = settingsBytes(0x5A, 0xA5, 0, 0, 0, 0);
        writeSettings(allOff);
        auto form = openWindow();
        takeWrites();

        clickBox(form.get(), box);
        QCOMPARE(takeWrites(), 1);
        QByteArray expected = allOff;
        for (int offset : offsets)
            expected[offset] = 1;
        QCOMPARE(readSettings(), expected);

        clickBox(form.get(), box);
        QCOMPARE(takeWrites(), 1);
        QCOMPARE(readSettings(), allOff);

        // What was clicked is in the file already: closing saves nothing more.
        clickBox(form.get(), box);
        takeWrites();
        form->close();
        form.reset();
        QCOMPARE(takeWrites(), 0);
        QCOMPARE(readSettings(), expected);
    }

    void saveOptionsSavesByMouseOrEnterAndLeavesTheWindowOpen()
    {
        writeSettings(settingsBytes(1, 2, 0, 1, 0, 0));
        auto form = openWindow();
        m_host.settingsFile.reset();
        takeWrites();

        auto* button = control<QPushButton>(form.get(), "BitBtn1");
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(takeWrites(), 1);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(takeWrites(), 2);
        QCOMPARE(readSettings(), settingsBytes(1, 2, 0, 1, 0, 0));
        QVERIFY(form->isVisible());
    }

    void aFailedSaveIsSaidOnClicksOnly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("a check box") << "CheckBox2";
        QTest::newRow("Save Options") << "BitBtn1";
    }

    // Opening rewrites the file for the switch on, silently even when that fails; a click
    // whose save fails says so once, and what it set is written once the cause is gone.
    void aFailedSaveIsSaidOnClicksOnly()
    {
        QFETCH(QString, name);
        const QByteArray before = settingsBytes(0, 0, 1, 0, 0, 0);
        writeSettings(before);
        m_host.saveFailure = "Read-only file system";
        std::unique_ptr<TForm5> form;
        QCOMPARE(support::catchBoxes([&] { form = openWindow(); }).size(), 0);
        QCOMPARE(takeWrites(), 1);

        const QList<support::MessageBoxSeen> boxes = support::catchBoxes([&] {
            QTest::mouseClick(control<QAbstractButton>(form.get(), name), Qt::LeftButton);
            m_host.settle();
        });
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(boxes[0].caption, QString("Orvelane"));
        QCOMPARE(boxes[0].text,
                 QString("The launch switches could not be saved in \"/work/Ωμέγα/ORVELANE.DAT\": "
                         "Read-only file system."));
        QCOMPARE(readSettings(), before);

        m_host.saveFailure.clear();
        clickBox(form.get(), 1);
        QCOMPARE(readSettings(), settingsBytes(0, 0, 0, name == "CheckBox2" ? 1 : 0, 0, 0));
    }

    // A read not back in time is said, and the window still closes; a click whose save has not
    // finished in time is said, the box stays as clicked, and the next click writes it all.
    void aFileThatDoesNotAnswerIsSaid()
    {
        HeldFileHost host;
        host.settingsFile = settingsBytes(0, 0, 0, 0, 0, 0);
        host.hold(true, false);
        TForm5 waiting(host);
        const support::MessageBoxSeen box = support::catchBoxUntil([&] { waiting.show(); });
        QCOMPARE(box.text, "The launch switches could not be read from " + kNoAnswer);
        QVERIFY(waiting.close());
        host.hold(false, false);
        host.settle();

        auto form = openWindow(host);
        host.hold(false, true);
        const support::MessageBoxSeen saving = support::catchBoxUntil(
            [&] { QTest::mouseClick(control<QCheckBox>(form.get(), "CheckBox2"), Qt::LeftButton); });
        QCOMPARE(saving.text, "The launch switches could not be saved in " + kNoAnswer);
        QCOMPARE(boxStates(form.get()), QString("0100"));
        host.hold(false, false);
        QTest::mouseClick(control<QCheckBox>(form.get(), "CheckBox4"), Qt::LeftButton);
        host.settle();
        QCOMPARE(host.settingsFile.value_or(""), settingsBytes(0, 0, 0, 1, 0, 1));
    }

    void theEndWaitsForTheSavesQueued_data()
    {
        QTest::addColumn<bool>("held");
        QTest::newRow("a save queued is waited for") << false;
        QTest::newRow("a save that does not answer is named") << true;
    }

    // At the end the program waits for the saves queued, and says which did not finish.
    void theEndWaitsForTheSavesQueued()
    {
        QFETCH(bool, held);
        HeldFileHost host;
        auto form = openWindow(host);
        host.hold(false, held);
        QTest::mouseClick(control<QCheckBox>(form.get(), "CheckBox1"), Qt::LeftButton);
        const std::optional<WriteResult> unsaved = host.options().finish();
        QCOMPARE(unsaved.has_value(), held);
        if (held)
            QCOMPARE(QString::fromStdString(unsaved->file.string() + ": " + unsaved->failure),
                     QString(kNoAnswer).remove('"').chopped(1));
        else
            QCOMPARE(host.settingsFile.value_or(""), settingsBytes(0, 0, 1, 0, 0, 0));
        host.hold(false, false);
        QVERIFY(host.options().waitUntilDone(std::chrono::seconds(10)));
    }

    void aSecondOpeningShowsTheFileAsReread()
    {
        writeSettings(settingsBytes(0, 0, 0, 0, 0, 0));
        auto first = openWindow();
        clickBox(first.get(), 2);
        first->close();

        writeSettings(settingsBytes(0, 0, 0, 0, 0, 1));
        auto second = openWindow();
        QCOMPARE(boxStates(second.get()), QString("0001"));
        QCOMPARE(readSettings(), settingsBytes(0, 0, 0, 0, 0, 1));
    }

    void aForeignSwitchByteIsKeptUntilItsBoxIsClicked_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<int>("otherBox");
        QTest::newRow("NoScanlines 2") << 1 << 4;
        QTest::newRow("EnableVsync 2") << 2 << 1;
        QTest::newRow("VgaMode 2") << 3 << 2;
        QTest::newRow("FrameSkip 2") << 4 << 3;
    }

    void aForeignSwitchByteIsKeptUntilItsBoxIsClicked()
    {
        QFETCH(int, box);
        QFETCH(int, otherBox);
        int fields[4] = {0, 0, 0, 0};
        fields[box - 1] = 2;
        const QByteArray foreign = settingsBytes(0, 0, fields[0], fields[1], fields[2], fields[3]);
        writeSettings(foreign);
        takeWrites();

        auto form = openWindow();
        QCOMPARE(boxStates(form.get()), QString("0000"));
        QCOMPARE(takeWrites(), 0);

        clickBox(form.get(), otherBox);
        fields[otherBox - 1] = 1;
        QCOMPARE(readSettings(), settingsBytes(0, 0, fields[0], fields[1], fields[2], fields[3]));

        clickBox(form.get(), box);
        fields[box - 1] = 1;
        QCOMPARE(readSettings(), settingsBytes(0, 0, fields[0], fields[1], fields[2], fields[3]));
        clickBox(form.get(), box);
        fields[box - 1] = 0;
        QCOMPARE(readSettings(), settingsBytes(0, 0, fields[0], fields[1], fields[2], fields[3]));
    }

    void aDeletedFileIsRecreatedWithTheReservedBytesLastLoaded()
    {
        writeSettings(settingsBytes(0x11, 0x22, 0, 0, 0, 0));
        openWindow().reset();
        m_host.settingsFile.reset();

        auto form = openWindow();
        QCOMPARE(boxStates(form.get()), QString("0000"));
        QVERIFY(!m_host.settingsFile);
        clickBox(form.get(), 3);
        const QByteArray recreated = readSettings();
        QCOMPARE(recreated.size(), 35);
        QCOMPARE(recreated, settingsBytes(0x11, 0x22, 0, 0, 1, 0));
    }

    // Enter presses only a focused push button: on a check box it, like Escape, neither
    // saves nor closes.
    void enterOnACheckBoxAndEscapeChangeNothing()
    {
        writeSettings(settingsBytes(0, 0, 0, 0, 0, 0));
        auto form = openWindow();
        takeWrites();
        auto* box = control<QCheckBox>(form.get(), "CheckBox1");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(form.get(), Qt::Key_Escape);
        QCOMPARE(takeWrites(), 0);
        QVERIFY(!box->isChecked());
        QVERIFY(form->isVisible());
    }

    void windowHasItsCaptionHintAndLooks()
    {
        TForm5 form(m_host);
        QCOMPARE(form.windowTitle(), QString(" NEO R.A.G.E. - Configuration"));
        QCOMPARE(form.property("hint").toString(), QString(" NEO R.A.G.E.  . . .  Configuration"));
        QCOMPARE(form.size(), QSize(361, 181));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::black));
        QCOMPARE(control<PictureLabel>(&form, "Image1")->picture(), QString(":/pictures/banner.svg"));
        QVERIFY(control<PictureLabel>(&form, "Image1")->stretch());
        QCOMPARE(control<BevelPanel>(&form, "Panel1")->bevelOuter(), BevelPanel::Raised);
        QCOMPARE(control<BevelPanel>(&form, "Panel1")->palette().color(QPalette::Window),
                 QColor(192, 192, 192));
        // The Sound and Joystick boxes are empty frames.
        QVERIFY(control<QGroupBox>(&form, "GroupBox4")->findChildren<QWidget*>().isEmpty());
        QVERIFY(control<QGroupBox>(&form, "GroupBox5")->findChildren<QWidget*>().isEmpty());
        // The boxes carry no caption of their own, take focus in order and draw a black mark on white.
        for (int i = 1; i <= 4; ++i) {
            auto* box = control<QCheckBox>(&form, QString("CheckBox%1").arg(i));
            QVERIFY(box->text().isEmpty());
            QCOMPARE(box->palette().color(QPalette::Base), QColor(Qt::white));
            QCOMPARE(box->palette().color(QPalette::Text), QColor(Qt::black));
            if (i < 4)
                QCOMPARE(box->nextInFocusChain()->objectName(), QString("CheckBox%1").arg(i + 1));
        }
        QVERIFY(!control<QPushButton>(&form, "BitBtn1")->autoDefault());
        QVERIFY(!control<QPushButton>(&form, "BitBtn1")->isDefault());
    }

    void controlsHaveTheirPlaceTextAndFont_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QColor>("colour");
        auto row = [](const char* name, const char* parent, QRect geometry, const char* text, int pixelSize,
                      bool bold, QColor colour) {
            QTest::newRow(name) << name << parent << geometry << text << pixelSize << bold << colour;
        };
        const QColor white(Qt::white), black(Qt::black);
        row("Image1", "TForm5", {0, 8, 361, 25}, "", 11, false, black);
        row("Panel1", "TForm5", {4, 51, 354, 126}, "", 11, false, black);
        row("GroupBox4", "Panel1", {1, 3, 113, 118}, " Sound ", 13, true, white);
        row("GroupBox5", "Panel1", {117, 3, 121, 89}, " Joystick ", 13, true, white);
        row("GroupBox6", "Panel1", {240, 3, 113, 118}, " Video ", 13, true, white);
        row("CheckBox1", "GroupBox6", {8, 24, 17, 17}, "", 13, true, black);
        row("CheckBox2", "GroupBox6", {8, 40, 17, 17}, "", 13, true, black);
        row("CheckBox3", "GroupBox6", {8, 56, 17, 17}, "", 13, true, black);
        row("CheckBox4", "GroupBox6", {8, 72, 17, 17}, "", 13, true, black);
        row("Label1", "GroupBox6", {30, 24, 70, 15}, "No Scanlines", 13, false, black);
        row("Label2", "GroupBox6", {30, 40, 73, 15}, "Enable Vsync", 13, false, black);
        row("Label3", "GroupBox6", {30, 56, 35, 15}, "V.G.A.", 13, false, black);
        row("Label4", "GroupBox6", {30, 72, 55, 15}, "FrameSkip", 13, false, black);
        row("BitBtn1", "Panel1", {127, 96, 101, 25}, "Save Options", 12, true, black);
    }

    void controlsHaveTheirPlaceTextAndFont()
    {
        QFETCH(QString, name);
        QFETCH(QString, parentName);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(int, pixelSize);
        QFETCH(bool, bold);
        QFETCH(QColor, colour);
        TForm5 form(m_host);
        m_host.settle();
        support::verifyControlLooks(control<QWidget>(&form, name), parentName, geometry, text, pixelSize,
                                    bold, colour);
    }
};

ORVELANE_WIDGET_TEST_MAIN(ConfigWindowTest)

#include "tst_configwindow.moc"
