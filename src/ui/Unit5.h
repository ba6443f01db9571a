// TForm5, the NEO R.A.G.E. configuration window (Play > NEO-RAGE > Configuration).
// Opened modally by the main window as a fresh instance each time.
#pragma once

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
    explicit TForm5(QWidget* parent = nullptr);
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

    std::unique_ptr<Ui::TForm5> m_ui;
};

extern TForm5* Form5;
