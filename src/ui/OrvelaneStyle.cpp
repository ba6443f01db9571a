#include "OrvelaneStyle.h"

#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

// "»", pointing right or down, in the button text colour.
QIcon extensionArrow(Qt::Orientation orientation, const QColor& color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(color);
    for (const int offset : {4, 8}) {
        for (int step = 0; step < 4; ++step) {
            const QPoint upper(offset + step, 4 + step), lower(offset + step, 11 - step);
            if (orientation == Qt::Horizontal) {
                painter.drawPoint(upper);
                painter.drawPoint(lower);
            } else {
                painter.drawPoint(upper.transposed());
                painter.drawPoint(lower.transposed());
            }
        }
    }
    return QIcon(pixmap);
}

// The desktop's menu check mark, 7 x 7 pixels, row by row.
constexpr char kTick[] = "......#"
                         ".....##"
                         "#...###"
                         "##.###."
                         "#####.."
                         ".###..."
                         "..#....";

void drawTick(QPainter* painter, const QRect& box, const QColor& color)
{
    // One tick pixel per 12 pixels of box, so the mark grows with a large menu font.
    const int unit = qMax(1, box.height() / 12);
    const QPoint origin = box.center() - QPoint(3 * unit, 3 * unit);
    for (int row = 0; row < 7; ++row) {
        for (int column = 0; column < 7; ++column) {
            if (kTick[row * 7 + column] == '#')
                painter->fillRect(QRect(origin + QPoint(column, row) * unit, QSize(unit, unit)), color);
        }
    }
}

} // namespace

OrvelaneStyle::OrvelaneStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

int OrvelaneStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                             QStyleHintReturn* returnData) const
{
    if (hint == SH_ToolTip_WakeUpDelay)
        return 500;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void OrvelaneStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                  const QWidget* widget) const
{
    // Fusion marks a checkable menu item with a check box; the desktop's menus draw only a
    // tick, and nothing at all for a clear item. The item's text stays where Fusion put it.
    if (element == PE_IndicatorCheckBox && qobject_cast<const QMenu*>(widget)) {
        if (option->state & State_On) {
            const bool enabled = option->state & State_Enabled;
            const bool selected = enabled && (option->state & State_Selected);
            const QColor color = option->palette.color(enabled ? QPalette::Normal : QPalette::Disabled,
                                                       selected ? QPalette::HighlightedText : QPalette::Text);
            drawTick(painter, option->rect, color);
        }
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

QIcon OrvelaneStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                                  const QWidget* widget) const
{
    const QColor color = option ? option->palette.buttonText().color() : QColor(Qt::black);
    if (standardIcon == SP_ToolBarHorizontalExtensionButton)
        return extensionArrow(Qt::Horizontal, color);
    if (standardIcon == SP_ToolBarVerticalExtensionButton)
        return extensionArrow(Qt::Vertical, color);
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}
