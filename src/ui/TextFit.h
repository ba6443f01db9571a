// Fitting text to the laid-out boxes when the installed face is not the one the layout was
// measured with.
#pragma once

class QLabel;
class QPlainTextEdit;
class QTextEdit;

namespace TextFit {

// Labels size themselves to their text: where the face runs wider than the laid-out box,
// the box grows to the right so the last letter is not cut; it never shrinks.
void growToText(QLabel* label);

// Lays the viewer's stored lines out in fixed lines of `pixels`, from its top-left corner,
// so what lies beside and below the text stays where it is laid out.
void fixLineHeight(QTextEdit* viewer, int pixels);

// Lays the viewer's text out from its top-left corner on whole-pixel glyph widths, as the
// desktop's rich-edit control does, so each stored line fits the width it was written for.
void layOutLikeRichEdit(QPlainTextEdit* viewer);

} // namespace TextFit
