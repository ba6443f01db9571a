#include "Unit7.h"

TForm7* Form7 = nullptr;

TForm7::TForm7(Host& host, QWidget* parent) : SecondaryWindow(parent), m_host(host)
{
    m_ui.setupUi(this);
    finishSetup();
}
