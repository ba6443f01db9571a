#include "Unit6.h"

TForm6* Form6 = nullptr;

TForm6::TForm6(QWidget* parent) : SecondaryWindow(parent)
{
    m_ui.setupUi(this);
    finishSetup();
}
