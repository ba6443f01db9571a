#include "Unit7.h"

#include <QTextDocument>

TForm7* Form7 = nullptr;

namespace {

// The viewer lays its text out from its top-left corner on whole-pixel glyph widths, as the
// desktop's rich-edit control does, so each stored line fits the width it was written for.
void layOutLikeRichEdit(QPlainTextEdit* viewer)
{
    viewer->document()->setDocumentMargin(0);
    QFont font = viewer->font();
    font.setHintingPreference(QFont::PreferFullHinting);
    viewer->setFont(font);
}

} // namespace

TForm7::TForm7(Host& host, QWidget* parent) : SecondaryWindow(parent), m_host(host)
{
    m_ui.setupUi(this);
    finishSetup();
    layOutLikeRichEdit(m_ui.RichEdit2);
    connect(m_ui.BitBtn1, &QPushButton::clicked, this, &TForm7::BitBtn1Click);
}

void TForm7::BitBtn1Click()
{
    // NEOGEO picks its game itself: it is started bare, from the working directory, and a
    // missing program simply starts nothing.
    m_host.startProgram("neogeo.exe", {});
}
