// TForm5, the NEO R.A.G.E. configuration window (Play > NEO-RAGE > Configuration).
// Opened modally by the main window as a fresh instance each time.
#pragma once

#include "Host.h"
#include "SecondaryWindow.h"

#include <cstdint>
#include <memory>

class QCheckBox;
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
    void setFromRecord(QCheckBox* box, std::uint8_t value, void (TForm5::*clickHandler)());
    void storeSwitch(const QCheckBox* box, std::uint8_t& field);
    void saveOptions();

    Host& m_host;
    std::unique_ptr<Ui::TForm5> m_ui;
    bool m_created = false;
};

extern TForm5* Form5;
