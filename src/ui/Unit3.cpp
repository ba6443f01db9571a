#include "Unit3.h"

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* parent) : SecondaryWindow(parent)
{
    m_ui.setupUi(this);
    finishSetup();
}
