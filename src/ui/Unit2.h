// TForm2, the About window (Help > About of ..., tool button SpeedButton3).
// Opened modally by the main window as a fresh instance each time.
#pragma once

#include "SecondaryWindow.h"

#include <memory>

namespace Ui {
class TForm2;
}

class TForm2 : public SecondaryWindow {
    Q_OBJECT

public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

private:
    std::unique_ptr<Ui::TForm2> m_ui;
};

extern TForm2* Form2;
