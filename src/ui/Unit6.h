// TForm6, the Games list window (List > Games of ...  NEO-GEO).
// Opened modally by the main window as a fresh instance each time.
#pragma once

#include "SecondaryWindow.h"

#include <memory>

namespace Ui {
class TForm6;
}

class TForm6 : public SecondaryWindow {
    Q_OBJECT

public:
    explicit TForm6(QWidget* parent = nullptr);
    ~TForm6() override;

private:
    std::unique_ptr<Ui::TForm6> m_ui;
};

extern TForm6* Form6;
