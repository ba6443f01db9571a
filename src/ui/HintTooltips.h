// Tooltips show the short hint, only over controls whose show-hint switch is on (a control
// without a switch of its own follows its parent), never for an empty short hint or while
// another application is active; each stays 2500 ms.
#pragma once

#include <QObject>

class QWidget;

class HintTooltips : public QObject {
    Q_OBJECT

public:
    explicit HintTooltips(QObject* parent = nullptr);

    // Whether tooltips are on for `widget`, by its own switch or its nearest parent's.
    static bool showsHints(const QWidget* widget);
    // The tooltip text for `widget`: its short hint, or empty for none.
    static QString tooltipFor(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
