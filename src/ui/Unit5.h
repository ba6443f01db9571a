// TForm5, the NEO R.A.G.E. configuration window (Play > NEO-RAGE > Configuration).
// Opened modally by the main window as a fresh instance each time.
#pragma once

#include "Host.h"
#include "SecondaryWindow.h"

#include <memory>

namespace Ui {
class TForm5;
}

class TForm5 : public SecondaryWindow {
    Q_OBJECT

public:
    explicit TForm5(Host& host, QWidget* parent = nullptr);
    ~TForm5() override;

public slots:
    void CheckBox1Click();
    void CheckBox2Click();
    void CheckBox3Click();
    void CheckBox4Click();
    void BitBtn1Click();

private:
    void fitLabelsToText();
    void connectHandlers();
    void FormCreate();
    void showRecord();
    void showSwitches(bool shown);
    void setFromRecord(int index);
    void storeSwitch(int index);
    void saveOptions();

    Host& m_host;
    std::unique_ptr<Ui::TForm5> m_ui;
    bool m_shown = false; // the record is read and shown: from then on a failed save is said
};

extern TForm5* Form5;
