#include "Unit8.h"

TForm8* Form8 = nullptr;

TForm8::TForm8(Host& host, QWidget* parent) : SecondaryWindow(parent), m_host(host)
{
    m_ui.setupUi(this);
    finishSetup();
}
