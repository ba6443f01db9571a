#include "ScrollBox.h"

#include <QApplication>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

// The box's own chrome: a 16-pixel bar inside the border, a track click that pages, and
// the border and bar drawn in the application's 3-D colours. The windows that hold scroll
// boxes paint everything black, and their palettes would otherwise reach the bar.
class ScrollBoxStyle : public QProxyStyle {
public:
    ScrollBoxStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        switch (metric) {
        case PM_ScrollBarExtent:
            return ScrollBox::kScrollBarWidth;
        case PM_ScrollView_ScrollBarSpacing:
        case PM_ScrollView_ScrollBarOverlap:
            return 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        switch (hint) {
        case SH_ScrollBar_LeftClickAbsolutePosition:
        case SH_ScrollView_FrameOnlyAroundContents:
        case SH_ScrollBar_Transient:
            return 0;
        default:
            return QProxyStyle::styleHint(hint, option, widget, returnData);
        }
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_ShapedFrame) {
            if (auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option)) {
                QStyleOptionFrame systemColours(*frame);
                systemColours.palette = QApplication::palette();
                QProxyStyle::drawControl(element, &systemColours, painter, widget);
                return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        if (control == CC_ScrollBar) {
            if (auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option)) {
                QStyleOptionSlider systemColours(*bar);
                systemColours.palette = QApplication::palette();
                QProxyStyle::drawComplexControl(control, &systemColours, painter, widget);
                return;
            }
        }
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
};

} // namespace

ScrollBox::ScrollBox(QWidget* parent) : QScrollArea(parent)
{
    auto* style = new ScrollBoxStyle;
    style->setParent(this);
    setStyle(style);
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
        bar->setStyle(style);
        bar->setFocusPolicy(Qt::NoFocus);
    }
    setFocusPolicy(Qt::NoFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The content keeps the size it was laid out with; the page step follows the viewport.
    setWidgetResizable(false);
    verticalScrollBar()->setSingleStep(kArrowStep);
    verticalScrollBar()->setTracking(false);
}
