#include "TextFit.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace TextFit {

void growToText(QLabel* label)
{
    const QFontMetrics metrics(label->font());
    const int needed =
        qMax(metrics.boundingRect(label->text()).right() + 1, metrics.horizontalAdvance(label->text()));
    if (needed > label->width())
        label->resize(needed, label->height());
}

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

void layOutLikeRichEdit(QPlainTextEdit* viewer)
{
    viewer->document()->setDocumentMargin(0);
    QFont font = viewer->font();
    font.setHintingPreference(QFont::PreferFullHinting);
    viewer->setFont(font);
}

} // namespace TextFit
