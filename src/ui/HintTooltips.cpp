#include "HintTooltips.h"

#include "Hint.h"
#include "HintRouter.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPointer>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

namespace {

constexpr int kTooltipDurationMs = 2500;
// Moving on from a control whose tooltip was showing, the next one shows once the pointer has
// rested this long; Qt asks for it after 20 ms already.
constexpr qint64 kMoveOnDelayMs = 50;

} // namespace

HintTooltips::HintTooltips(QObject* parent) : QObject(parent)
{
    m_sinceMove.start();
}

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
    if (event->type() == QEvent::MouseMove)
        m_sinceMove.start();
    if (event->type() != QEvent::ToolTip || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    show(static_cast<QWidget*>(watched), static_cast<QHelpEvent*>(event)->globalPos());
    return true;
}

void HintTooltips::show(QWidget* widget, QPoint at)
{
    const QString text = tooltipFor(widget);
    if (text.isEmpty() || QGuiApplication::applicationState() != Qt::ApplicationActive) {
        QToolTip::hideText();
    } else if (const qint64 rested = m_sinceMove.elapsed(); rested < kMoveOnDelayMs) {
        // Any move meanwhile brings another request from Qt, and this one lapses.
        QTimer::singleShot(kMoveOnDelayMs - rested, widget, [this, widget, at] {
            if (m_sinceMove.elapsed() >= kMoveOnDelayMs)
                show(widget, at);
        });
    } else {
        QToolTip::showText(at, text, widget, QRect(), kTooltipDurationMs);
    }
}
