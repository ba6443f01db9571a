// TForm3, the About NEO R.A.G.E. window (Help > NEORAGE, tool button SpeedButton4).
// Opened modally by the main window as a fresh instance each time.
#pragma once

#include "SecondaryWindow.h"

#include <memory>

namespace Ui {
class TForm3;
}

class TForm3 : public SecondaryWindow {
    Q_OBJECT

public:
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

private:
    std::unique_ptr<Ui::TForm3> m_ui;
};

extern TForm3* Form3;
