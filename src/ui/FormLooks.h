// Window looks kept as data in the .ui files: dynamic properties read once after setupUi.
//
//   pixelSize (int)        the font's character height in pixels (uic has no pixel sizes)
//   textColor (string)     a colour name or #rrggbb for the control's letters
//   backgroundColor        the control's own background; the control becomes opaque
//   transparent (bool)     a label that draws only its letters
//   keepColorsWhenDisabled a disabled control that keeps its letters' colour (text viewers)
//   hint (string)          "short|long" hint text, see HintRouter; a button without text
//                          of its own also takes it as its accessible name (short part)
//                          and description (long part)
//   showHint (bool)        tooltips on for the control and the controls inside it
#pragma once

#include <QPalette>
#include <QString>

class QWidget;

namespace FormLooks {

// The desktop's classic 3-D palette: button face, bevel shades, grey text for disabled
// controls and the info-tip colours. Set once on the application.
QPalette classicPalette();

// Applies the looks properties to `form` and every widget inside it.
void apply(QWidget* form);

// The installed face to draw `family` with: the family itself when installed, else its
// metric-compatible stand-in ("MS Sans Serif", "Arial": Liberation Sans; "Times New Roman":
// Liberation Serif).
QString installedFamily(const QString& family);

// Substitutes installed faces for the window fonts (metric-compatible where they exist).
void installFontSubstitutes();

} // namespace FormLooks
