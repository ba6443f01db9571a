#include "Unit5.h"

#include "ui_Unit5.h"

#include <cstdint>

TForm5* Form5 = nullptr;

namespace {

// A check box, the field of the record it stands for, and its click handler.
struct Switch {
    QCheckBox* Ui::TForm5::*box;
    std::uint8_t OptionsRecord::*field;
    void (TForm5::*clickHandler)();
};

constexpr int kSwitchCount = 4;
const Switch kSwitches[kSwitchCount] = {
    {&Ui::TForm5::CheckBox1, &OptionsRecord::NoScanlines, &TForm5::CheckBox1Click},
    {&Ui::TForm5::CheckBox2, &OptionsRecord::EnableVsync, &TForm5::CheckBox2Click},
    {&Ui::TForm5::CheckBox3, &OptionsRecord::VgaMode, &TForm5::CheckBox3Click},
    {&Ui::TForm5::CheckBox4, &OptionsRecord::FrameSkip, &TForm5::CheckBox4Click},
};

} // namespace

TForm5::TForm5(Host& host, QWidget* parent)
    : SecondaryWindow(parent), m_host(host), m_ui(std::make_unique<Ui::TForm5>())
{
    m_ui->setupUi(this);
    finishSetup();
    fitLabelsToText();
    connectHandlers();
    FormCreate();
}

TForm5::~TForm5() = default;

void TForm5::connectHandlers()
{
    // clicked, not toggled: the boxes set from the record run their handler once, by hand.
    for (const Switch& item : kSwitches)
        connect(m_ui.get()->*item.box, &QCheckBox::clicked, this, item.clickHandler);
    connect(m_ui->BitBtn1, &QPushButton::clicked, this, &TForm5::BitBtn1Click);
}

void TForm5::fitLabelsToText()
{
    // Labels size themselves to their text; the face that stands in for the window font
    // may run a pixel or two wider than the one the layout was measured with.
    for (QLabel* label : {m_ui->Label1, m_ui->Label2, m_ui->Label3, m_ui->Label4})
        label->adjustSize();
}

void TForm5::FormCreate()
{
    // The file is read off this thread; until it is, there is nothing to click or save.
    showSwitches(false);
    m_host.options().read(
        this, [this] { showRecord(); },
        [this](const WriteResult& late) {
            showError("The launch switches could not be read from \"" + late.file.string() +
                      "\": " + late.failure + ".");
        });
}

void TForm5::showRecord()
{
    // From the last box to the first: FrameSkip, VgaMode, EnableVsync, NoScanlines.
    for (int index = kSwitchCount - 1; index >= 0; --index)
        setFromRecord(index);
    showSwitches(true);
    m_shown = true;
}

void TForm5::showSwitches(bool shown)
{
    for (const Switch& item : kSwitches)
        (m_ui.get()->*item.box)->setVisible(shown);
    m_ui->BitBtn1->setEnabled(shown);
    if (shown && !focusWidget())
        m_ui->CheckBox1->setFocus();
}

void TForm5::setFromRecord(int index)
{
    const Switch& item = kSwitches[index];
    // A byte other than 0 or 1 comes from a foreign file: the box stays clear and the byte
    // is carried unchanged until the user clicks that box.
    const std::uint8_t value = m_host.options().record().*item.field;
    if (value == 0) {
        (m_ui.get()->*item.box)->setChecked(false);
    } else if (value == 1) {
        (m_ui.get()->*item.box)->setChecked(true);
        // Checking a box counts as a change of it: the file is rewritten with the value just read.
        (this->*item.clickHandler)();
    }
}

void TForm5::storeSwitch(int index)
{
    const Switch& item = kSwitches[index];
    m_host.options().record().*item.field = (m_ui.get()->*item.box)->isChecked() ? 1 : 0;
    saveOptions();
}

void TForm5::saveOptions()
{
    // The rewrites while the window is being made stay silent, as at start-up. A click whose
    // save failed is said: the box shows the switch, and the next start would not have it.
    // Box and record keep the new value, so the next click writes it once the cause is gone.
    m_host.options().save(m_shown ? this : nullptr, [this](const WriteResult& saved) {
        showError("The launch switches could not be saved in \"" +
                  std::string(reinterpret_cast<const char*>(saved.file.u8string().c_str())) +
                  "\": " + saved.failure + ".");
    });
}

void TForm5::CheckBox1Click()
{
    storeSwitch(0);
}

void TForm5::CheckBox2Click()
{
    storeSwitch(1);
}

void TForm5::CheckBox3Click()
{
    storeSwitch(2);
}

void TForm5::CheckBox4Click()
{
    storeSwitch(3);
}

void TForm5::BitBtn1Click()
{
    saveOptions();
}
