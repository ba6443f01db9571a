#include "Unit3.h"

#include "TextFit.h"
#include "ui_Unit3.h"

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* parent) : SecondaryWindow(parent), m_ui(std::make_unique<Ui::TForm3>())
{
    m_ui->setupUi(this);
    finishSetup();
    for (QLabel* label : m_ui->Panel1->findChildren<QLabel*>())
        TextFit::growToText(label);
}

TForm3::~TForm3() = default;
