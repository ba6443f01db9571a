#include "Unit4.h"

#include "TextFit.h"

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent) : SecondaryWindow(parent)
{
    m_ui.setupUi(this);
    finishSetup();
    for (QLabel* label : m_ui.Panel1->findChildren<QLabel*>())
        TextFit::growToText(label);
}
