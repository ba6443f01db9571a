// Tooltips show the short hint, only over controls whose show-hint switch is on (a control
// without a switch of its own follows its parent), never for an empty short hint or while
// another application is active; each stays 2500 ms. Qt asks for one once the pointer has
// rested 500 ms on a control (the style's wake-up delay), or 20 ms after it moved on from a
// control whose tooltip was showing, where the program waits 50 ms.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>

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

private:
    void show(QWidget* widget, QPoint at);

    QElapsedTimer m_sinceMove; // since the pointer last moved over any window of the program
};
