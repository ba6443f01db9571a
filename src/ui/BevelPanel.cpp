#include "BevelPanel.h"

#include <QApplication>
#include <QPainter>

namespace {

// Draws one bevel inside `rect` and returns the rectangle left inside it.
QRect drawBevel(QPainter& painter, QRect rect, BevelPanel::Bevel bevel, int width, const QPalette& palette)
{
    if (bevel == BevelPanel::None)
        return rect;
    const QColor light = palette.color(QPalette::Light);
    const QColor shadow = palette.color(QPalette::Dark);
    const QColor topLeft = bevel == BevelPanel::Raised ? light : shadow;
    const QColor bottomRight = bevel == BevelPanel::Raised ? shadow : light;
    for (int i = 0; i < width; ++i) {
        painter.setPen(topLeft);
        painter.drawLine(rect.topLeft(), rect.topRight());
        painter.drawLine(rect.topLeft(), rect.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(rect.bottomLeft(), rect.bottomRight());
        painter.drawLine(rect.topRight(), rect.bottomRight());
        rect.adjust(1, 1, -1, -1);
    }
    return rect;
}

} // namespace

BevelPanel::BevelPanel(QWidget* parent) : QLabel(parent)
{
    // A panel has the button-face colour of its own, whatever its parent's colour.
    QPalette own = palette();
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    own.setColor(QPalette::Window, buttonFace);
    own.setColor(QPalette::Button, buttonFace);
    setPalette(own);
    setAutoFillBackground(true);
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
    updateMargins();
}

void BevelPanel::setBevelOuter(Bevel bevel)
{
    m_outer = bevel;
    updateMargins();
}

void BevelPanel::setBevelInner(Bevel bevel)
{
    m_inner = bevel;
    updateMargins();
}

void BevelPanel::setBevelWidth(int width)
{
    m_width = width;
    updateMargins();
}

void BevelPanel::updateMargins()
{
    const int inset = m_width * ((m_outer != None ? 1 : 0) + (m_inner != None ? 1 : 0));
    setContentsMargins(inset, inset, inset, inset);
    update();
}

void BevelPanel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    QPainter painter(this);
    const QRect inside = drawBevel(painter, rect(), m_outer, m_width, palette());
    drawBevel(painter, inside, m_inner, m_width, palette());
}
