// A panel: a label with a caption and up to two one-pixel bevels, raised or lowered.
#pragma once

#include <QLabel>

class BevelPanel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(Bevel bevelOuter READ bevelOuter WRITE setBevelOuter)
    Q_PROPERTY(Bevel bevelInner READ bevelInner WRITE setBevelInner)
    Q_PROPERTY(int bevelWidth READ bevelWidth WRITE setBevelWidth)

public:
    enum Bevel { None, Lowered, Raised };
    Q_ENUM(Bevel)

    explicit BevelPanel(QWidget* parent = nullptr);

    Bevel bevelOuter() const { return m_outer; }
    Bevel bevelInner() const { return m_inner; }
    int bevelWidth() const { return m_width; }
    void setBevelOuter(Bevel bevel);
    void setBevelInner(Bevel bevel);
    void setBevelWidth(int width);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateMargins();

    Bevel m_outer = Raised;
    Bevel m_inner = None;
    int m_width = 1;
};
