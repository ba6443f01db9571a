// TForm8, the NEO R.A.G.E. play window (Play > NEO-RAGE > Play The Game, tool button SpeedButton6).
// Opened modally by the main window as a fresh instance each time.
#pragma once

#include "GameLaunch.h"
#include "Host.h"
#include "SecondaryWindow.h"

#include <memory>
#include <string>

class QLabel;
namespace Ui {
class TForm8;
}

class TForm8 : public SecondaryWindow {
    Q_OBJECT

public:
    explicit TForm8(Host& host, QWidget* parent = nullptr);
    ~TForm8() override;

public slots:
    void BitBtn1Click();

protected:
    void showStarted(const StartOutcome& outcome) override;

private:
    void launchChosenGame(const GamePath& game);
    void refuseGamePath();
    static void showCaption(QLabel* label, const std::string& text);

    Host& m_host;
    std::unique_ptr<Ui::TForm8> m_ui;
};

extern TForm8* Form8;
