// Tool-button glyphs drawn from SVG picture assets at the screen's pixel ratio.
#pragma once

#include <QIcon>
#include <QString>

namespace Glyphs {

// A 16 x 16 glyph; a two-state glyph is 32 x 16 with the normal image on the left and the
// disabled image on the right.
QIcon icon(const QString& resource, bool twoState, qreal devicePixelRatio);

} // namespace Glyphs
