// TForm4, the About NEOGEO window (Help > NEOGEO, tool button SpeedButton7).
// Opened modally by the main window as a fresh instance each time.
#pragma once

#include "SecondaryWindow.h"

#include <memory>

namespace Ui {
class TForm4;
}

class TForm4 : public SecondaryWindow {
    Q_OBJECT

public:
    explicit TForm4(QWidget* parent = nullptr);
    ~TForm4() override;

private:
    std::unique_ptr<Ui::TForm4> m_ui;
};

extern TForm4* Form4;
