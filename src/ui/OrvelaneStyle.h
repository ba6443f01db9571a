// The program's style: Fusion with the desktop's tooltip timing (500 ms to show).
#pragma once

#include <QProxyStyle>

class OrvelaneStyle : public QProxyStyle {
    Q_OBJECT

public:
    OrvelaneStyle();

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};
