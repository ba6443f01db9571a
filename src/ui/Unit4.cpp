#include "Unit4.h"

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent) : SecondaryWindow(parent)
{
    m_ui.setupUi(this);
    finishSetup();
}
