#include "Unit5.h"

#include "ui_Unit5.h"

TForm5* Form5 = nullptr;

namespace {

// The window's record lives for the whole run and is shared by every instance, so a window
// opened after the file was lost still shows, and saves, what was last loaded.
OptionsRecord Options;

} // namespace

TForm5::TForm5(Host& host, QWidget* parent)
    : SecondaryWindow(parent), m_host(host), m_ui(std::make_unique<Ui::TForm5>())
{
    m_ui->setupUi(this);
    finishSetup();
    fitLabelsToText();
    connectHandlers();
    FormCreate();
    m_created = true;
}

TForm5::~TForm5() = default;

void TForm5::connectHandlers()
{
    // clicked, not toggled: the boxes set from the record run their handler once, by hand.
    connect(m_ui->CheckBox1, &QCheckBox::clicked, this, &TForm5::CheckBox1Click);
    connect(m_ui->CheckBox2, &QCheckBox::clicked, this, &TForm5::CheckBox2Click);
    connect(m_ui->CheckBox3, &QCheckBox::clicked, this, &TForm5::CheckBox3Click);
    connect(m_ui->CheckBox4, &QCheckBox::clicked, this, &TForm5::CheckBox4Click);
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
    m_host.loadOptions(Options);
    setFromRecord(m_ui->CheckBox4, Options.FrameSkip, &TForm5::CheckBox4Click);
    setFromRecord(m_ui->CheckBox3, Options.VgaMode, &TForm5::CheckBox3Click);
    setFromRecord(m_ui->CheckBox2, Options.EnableVsync, &TForm5::CheckBox2Click);
    setFromRecord(m_ui->CheckBox1, Options.NoScanlines, &TForm5::CheckBox1Click);
}

void TForm5::setFromRecord(QCheckBox* box, std::uint8_t value, void (TForm5::*clickHandler)())
{
    // A byte other than 0 or 1 comes from a foreign file: the box stays clear and the byte
    // is carried unchanged until the user clicks that box.
    if (value == 0) {
        box->setChecked(false);
    } else if (value == 1) {
        box->setChecked(true);
        // Checking a box counts as a change of it: the file is rewritten with the value just loaded.
        (this->*clickHandler)();
    }
}

void TForm5::storeSwitch(const QCheckBox* box, std::uint8_t& field)
{
    field = box->isChecked() ? 1 : 0;
    saveOptions();
}

void TForm5::saveOptions()
{
    const WriteResult saved = m_host.saveOptions(Options);
    // The rewrites while the window is being made stay silent, as at start-up. A click whose
    // save failed is said: the box shows the switch, and the next start would not have it.
    // Box and record keep the new value, so the next click writes it once the cause is gone.
    if (!saved && m_created)
        showError("The launch switches could not be saved in \"" + saved.file.string() +
                  "\": " + saved.failure + ".");
}

void TForm5::CheckBox1Click()
{
    storeSwitch(m_ui->CheckBox1, Options.NoScanlines);
}

void TForm5::CheckBox2Click()
{
    storeSwitch(m_ui->CheckBox2, Options.EnableVsync);
}

void TForm5::CheckBox3Click()
{
    storeSwitch(m_ui->CheckBox3, Options.VgaMode);
}

void TForm5::CheckBox4Click()
{
    storeSwitch(m_ui->CheckBox4, Options.FrameSkip);
}

void TForm5::BitBtn1Click()
{
    saveOptions();
}
