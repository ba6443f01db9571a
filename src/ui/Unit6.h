// TForm6, the Games list window (List > Games of ...  NEO-GEO).
// Opened modally by the main window as a fresh instance each time.
#pragma once

#include "SecondaryWindow.h"
#include "ui_Unit6.h"

class TForm6 : public SecondaryWindow {
    Q_OBJECT

public:
    explicit TForm6(QWidget* parent = nullptr);

private:
    Ui::TForm6 m_ui;
};

extern TForm6* Form6;
