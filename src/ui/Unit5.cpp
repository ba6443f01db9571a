#include "Unit5.h"

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent) : SecondaryWindow(parent)
{
    m_ui.setupUi(this);
    finishSetup();
}
