#include "Unit2.h"

#include <QTextCursor>
#include <QTextDocument>

TForm2* Form2 = nullptr;

namespace {

// The About text runs in 13-pixel lines whatever face stands in for MS Sans Serif: the
// flags beside it sit level with the first line of each paragraph, and the signature strip
// closes the content just under the last line.
constexpr int kTextLineHeight = 13;

void fixLineHeight(QTextEdit* viewer, int pixels)
{
    QTextDocument* text = viewer->document();
    text->setDocumentMargin(0);
    QTextBlockFormat lines;
    lines.setLineHeight(pixels, QTextBlockFormat::FixedHeight);
    QTextCursor all(text);
    all.select(QTextCursor::Document);
    all.mergeBlockFormat(lines);
}

} // namespace

TForm2::TForm2(QWidget* parent) : SecondaryWindow(parent)
{
    m_ui.setupUi(this);
    finishSetup();
    fixLineHeight(m_ui.RichEdit1, kTextLineHeight);
}
