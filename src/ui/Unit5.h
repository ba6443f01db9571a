// TForm5, the NEO R.A.G.E. configuration window (Play > NEO-RAGE > Configuration).
// Opened modally by the main window as a fresh instance each time.
#pragma once

#include "SecondaryWindow.h"
#include "ui_Unit5.h"

class TForm5 : public SecondaryWindow {
    Q_OBJECT

public:
    explicit TForm5(QWidget* parent = nullptr);

private:
    Ui::TForm5 m_ui;
};

extern TForm5* Form5;
