// The program's style: Fusion with the desktop's tooltip timing (500 ms to show), menu
// check marks as the desktop draws them (a tick when checked, nothing when clear, never a
// box), and a menu bar extension arrow drawn in code: Fusion's own comes from PNG files
// whose loading probes every image plugin on the disk while the main window is being built.
#pragma once

#include <QProxyStyle>

class OrvelaneStyle : public QProxyStyle {
    Q_OBJECT

public:
    OrvelaneStyle();

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                       const QWidget* widget) const override;
};
