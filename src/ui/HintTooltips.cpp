#include "HintTooltips.h"

#include "Hint.h"
#include "HintRouter.h"

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

namespace {

constexpr int kTooltipDurationMs = 2500;

} // namespace

HintTooltips::HintTooltips(QObject* parent) : QObject(parent) {}

bool HintTooltips::showsHints(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        const QVariant own = widget->property("showHint");
        if (own.isValid())
            return own.toBool();
        if (widget->isWindow())
            break;
    }
    return false;
}

QString HintTooltips::tooltipFor(const QWidget* widget)
{
    if (!showsHints(widget))
        return {};
    const QByteArray hint = HintRouter::hintOf(widget).toUtf8();
    const std::string_view part = shortHint(std::string_view(hint.constData(), size_t(hint.size())));
    return QString::fromUtf8(part.data(), qsizetype(part.size()));
}

bool HintTooltips::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ToolTip || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    const auto* widget = static_cast<QWidget*>(watched);
    const QString text = tooltipFor(widget);
    if (text.isEmpty() || QGuiApplication::applicationState() != Qt::ApplicationActive) {
        QToolTip::hideText();
    } else {
        const auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), text, const_cast<QWidget*>(widget), QRect(),
                           kTooltipDurationMs);
    }
    return true;
}
