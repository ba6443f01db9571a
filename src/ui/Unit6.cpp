#include "Unit6.h"

#include "TextFit.h"
#include "ui_Unit6.h"

#include <QFontMetricsF>

#include <cmath>

TForm6* Form6 = nullptr;

namespace {

// Titles and note run in 15-pixel lines whatever face stands in for Times New Roman, so the
// list holds all 164 titles and the note and signature strip stay where they are laid out.
constexpr int kTextLineHeight = 15;

// The heading keeps its centred box, which ends at the content's right edge. Where the
// substitute face runs wider than the box, its letters close up by the difference, spread
// evenly, so neither end letter is cut. Spacing comes in 1/64 pixel steps, hence the rounding.
void fitToBox(QLabel* heading)
{
    QFont font = heading->font();
    const qreal natural = QFontMetricsF(font).horizontalAdvance(heading->text());
    const qreal excess = natural - heading->width();
    if (excess <= 0)
        return;
    font.setLetterSpacing(QFont::AbsoluteSpacing, -1);
    const qreal gainPerPixel = natural - QFontMetricsF(font).horizontalAdvance(heading->text());
    if (gainPerPixel <= 0)
        return;
    font.setLetterSpacing(QFont::AbsoluteSpacing, -std::ceil(excess / gainPerPixel * 64) / 64);
    heading->setFont(font);
}

} // namespace

TForm6::TForm6(QWidget* parent) : SecondaryWindow(parent), m_ui(std::make_unique<Ui::TForm6>())
{
    m_ui->setupUi(this);
    finishSetup();
    fitToBox(m_ui->Label1);
    TextFit::fixLineHeight(m_ui->RichEdit1, kTextLineHeight);
    TextFit::fixLineHeight(m_ui->RichEdit2, kTextLineHeight);
}

TForm6::~TForm6() = default;
