// A scroll box: content that scrolls vertically behind a scroll bar that is always shown and
// 16 pixels wide. The arrows move the content 8 pixels, a click in the track one visible
// height, and dragging the thumb moves it only when the thumb is released. It never scrolls
// sideways and takes no keyboard focus. Its border and scroll bar keep the desktop's 3-D
// colours whatever the background of the box and its window.
#pragma once

#include <QScrollArea>

class ScrollBox : public QScrollArea {
    Q_OBJECT

public:
    static constexpr int kScrollBarWidth = 16;
    static constexpr int kArrowStep = 8;

    explicit ScrollBox(QWidget* parent = nullptr);
};
