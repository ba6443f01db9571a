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

} // namespace

QIcon icon(const QString& resource, bool twoState, qreal devicePixelRatio)
{
    const int side = qRound(kGlyphSize * devicePixelRatio);
    QImage strip(twoState ? 2 * side : side, side, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    QSvgRenderer(resource).render(&painter, QRectF(strip.rect()));
    painter.end();

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
    for (const int side : {16, 32, 48, 64}) {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter, QRectF(image.rect()));
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace Glyphs
