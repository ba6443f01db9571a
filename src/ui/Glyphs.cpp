#include "Glyphs.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace Glyphs {

namespace {

constexpr int kGlyphSize = 16;

QPixmap half(const QImage& strip, int index, qreal ratio)
{
    const int side = qRound(kGlyphSize * ratio);
    QPixmap pixmap = QPixmap::fromImage(strip.copy(index * side, 0, side, side));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

// The picture drawn to fill `size` pixels, on transparency.
QImage drawn(QSvgRenderer& renderer, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(image.rect()));
    return image;
}

} // namespace

QIcon icon(const QString& resource, bool twoState, qreal devicePixelRatio)
{
    const int side = qRound(kGlyphSize * devicePixelRatio);
    QSvgRenderer renderer(resource);
    const QImage strip = drawn(renderer, QSize(twoState ? 2 * side : side, side));

    QIcon icon;
    icon.addPixmap(half(strip, 0, devicePixelRatio), QIcon::Normal);
    if (twoState)
        icon.addPixmap(half(strip, 1, devicePixelRatio), QIcon::Disabled);
    return icon;
}

QIcon windowIcon(const QString& resource)
{
    QSvgRenderer renderer(resource);
    QIcon icon;
    for (const int side : {16, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(drawn(renderer, QSize(side, side))));
    return icon;
}

} // namespace Glyphs
