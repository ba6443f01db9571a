// A picture control: draws an SVG picture asset, stretched to its box or at its own size,
// sharp at any device pixel ratio.
#pragma once

#include <QLabel>
#include <QPixmap>

class PictureLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString picture READ picture WRITE setPicture)
    Q_PROPERTY(bool stretch READ stretch WRITE setStretch)

public:
    explicit PictureLabel(QWidget* parent = nullptr);

    QString picture() const { return m_picture; }
    bool stretch() const { return m_stretch; }
    void setPicture(const QString& resource);
    // Without stretching the control takes the picture's own size and draws it unscaled.
    void setStretch(bool stretch);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void fitToPicture();

    QString m_picture;
    bool m_stretch = true;
    QPixmap m_cache;
};
