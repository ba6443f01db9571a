#include "Unit2.h"

#include "TextFit.h"
#include "ui_Unit2.h"

TForm2* Form2 = nullptr;

namespace {

// The About text runs in 13-pixel lines whatever face stands in for MS Sans Serif: the
// flags beside it sit level with the first line of each paragraph, and the signature strip
// closes the content just under the last line.
constexpr int kTextLineHeight = 13;

} // namespace

TForm2::TForm2(QWidget* parent) : SecondaryWindow(parent), m_ui(std::make_unique<Ui::TForm2>())
{
    m_ui->setupUi(this);
    finishSetup();
    TextFit::fixLineHeight(m_ui->RichEdit1, kTextLineHeight);
}

TForm2::~TForm2() = default;
