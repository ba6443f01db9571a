#include "PictureLabel.h"

#include <QPainter>
#include <QSvgRenderer>

PictureLabel::PictureLabel(QWidget* parent) : QLabel(parent) {}

void PictureLabel::setPicture(const QString& resource)
{
    m_picture = resource;
    m_cache = QPixmap();
    fitToPicture();
    update();
}

void PictureLabel::setStretch(bool stretch)
{
    m_stretch = stretch;
    m_cache = QPixmap();
    fitToPicture();
    update();
}

void PictureLabel::fitToPicture()
{
    if (m_stretch || m_picture.isEmpty())
        return;
    QSvgRenderer renderer(m_picture);
    if (renderer.isValid())
        resize(renderer.defaultSize());
}

void PictureLabel::paintEvent(QPaintEvent*)
{
    if (m_picture.isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_cache.size() != pixels || m_cache.devicePixelRatio() != ratio) {
        QPixmap pixmap(pixels);
        pixmap.fill(Qt::transparent);
        QPainter cachePainter(&pixmap);
        QSvgRenderer(m_picture).render(&cachePainter, QRectF(QPointF(0, 0), QSizeF(pixels)));
        cachePainter.end();
        pixmap.setDevicePixelRatio(ratio);
        m_cache = pixmap;
    }
    QPainter(this).drawPixmap(0, 0, m_cache);
}
