#include "Unit4.h"

#include "TextFit.h"
#include "ui_Unit4.h"

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent) : SecondaryWindow(parent), m_ui(std::make_unique<Ui::TForm4>())
{
    m_ui->setupUi(this);
    finishSetup();
    for (QLabel* label : m_ui->Panel1->findChildren<QLabel*>())
        TextFit::growToText(label);
}

TForm4::~TForm4() = default;
