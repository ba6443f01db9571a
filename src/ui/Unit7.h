// TForm7, the NEOGEO play window (Play > NEOGEO > Play The Game, tool button SpeedButton2).
// Opened modally by the main window as a fresh instance each time.
#pragma once

#include "Host.h"
#include "SecondaryWindow.h"

#include <memory>

namespace Ui {
class TForm7;
}

class TForm7 : public SecondaryWindow {
    Q_OBJECT

public:
    explicit TForm7(Host& host, QWidget* parent = nullptr);
    ~TForm7() override;

public slots:
    void BitBtn1Click();

private:
    Host& m_host;
    std::unique_ptr<Ui::TForm7> m_ui;
};

extern TForm7* Form7;
