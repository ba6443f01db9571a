#include "OrvelaneStyle.h"

#include <QStyleFactory>

OrvelaneStyle::OrvelaneStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

int OrvelaneStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                             QStyleHintReturn* returnData) const
{
    if (hint == SH_ToolTip_WakeUpDelay)
        return 500;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
