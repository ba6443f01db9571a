// TForm1, the main window: menu, tool bar, banner, status line with clock and date.
// Created first at start-up; it opens every other window.
#pragma once

#include "Host.h"

#include <QMainWindow>
#include <QTimer>

#include <memory>

class HintRouter;
class QAction;
class QLabel;
namespace Ui {
class TForm1;
}

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm1(Host& host, QWidget* parent = nullptr);
    ~TForm1() override;

    HintRouter& hintRouter() const { return *m_hintRouter; }
    // Whether the tool bar is in its Tools on state.
    bool toolsOn() const;

public slots:
    void Terminar1Click();
    void Timer1Timer();
    void MostrarAyuda(QObject* sender);
    void Barradeherramientas1Click();
    void SpeedButton1Click();
    void Play1Click();
    void SpeedButton6Click();
    void Options1Click();
    void Play2Click();
    void SpeedButton2Click();
    void Gamesof1Click();
    void NEORAGE1Click();
    void SpeedButton4Click();
    void NEOGEO1Click();
    void SpeedButton7Click();
    void Aboutof1Click();
    void SpeedButton3Click();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void fixWindowShape();
    void loadGlyphs();
    void connectCommands();
    void readClockFormats();
    void markPresence(QAction* item, const char* fileName);
    void setToolButtons(bool on);
    void setCaption(QLabel* panel, const QString& text);

    Host& m_host;
    std::unique_ptr<Ui::TForm1> m_ui;
    QTimer Timer1;
    ClockFormats m_clockFormats;
    HintRouter* m_hintRouter = nullptr;
};

extern TForm1* Form1;
