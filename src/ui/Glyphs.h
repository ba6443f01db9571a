// Tool-button glyphs and the window icon, drawn from SVG picture assets.
#pragma once

#include <QIcon>
#include <QString>

namespace Glyphs {

// A 16 x 16 glyph; a two-state glyph is 32 x 16 with the normal image on the left and the
// disabled image on the right.
QIcon icon(const QString& resource, bool twoState, qreal devicePixelRatio);

// The window icon at the sizes a desktop asks for, drawn without Qt's icon plugins (whose
// loading would stand between the start and the first paint).
QIcon windowIcon(const QString& resource);

} // namespace Glyphs
