#include "OrvelaneStyle.h"

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

} // namespace

OrvelaneStyle::OrvelaneStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

int OrvelaneStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                             QStyleHintReturn* returnData) const
{
    if (hint == SH_ToolTip_WakeUpDelay)
        return 500;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
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
