#include "Unit7.h"

#include "TextFit.h"
#include "ui_Unit7.h"

TForm7* Form7 = nullptr;

TForm7::TForm7(Host& host, QWidget* parent)
    : SecondaryWindow(parent), m_host(host), m_ui(std::make_unique<Ui::TForm7>())
{
    m_ui->setupUi(this);
    finishSetup();
    TextFit::layOutLikeRichEdit(m_ui->RichEdit2);
    setPlayButton(m_ui->BitBtn1, m_host, kNeoGeoProgram);
    connect(m_ui->BitBtn1, &QPushButton::clicked, this, &TForm7::BitBtn1Click);
}

TForm7::~TForm7() = default;

void TForm7::BitBtn1Click()
{
    // NEOGEO picks its game itself: it is started bare, from the working directory.
    startProgram(m_host, neoGeoRequest());
}
