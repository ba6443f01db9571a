// Start-up: the program runs only when both companion files are in the working directory.
#include "FreshModal.h"
#include "OrvelaneApplication.h"
#include "StartupCheck.h"
#include "SystemHost.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"
#include "Unit5.h"
#include "Unit6.h"
#include "Unit7.h"
#include "Unit8.h"

#include <memory>

namespace {

void createWindows(Host& host)
{
    holdIn(Form1, new TForm1(host));
    holdIn(Form2, new TForm2(Form1));
    holdIn(Form3, new TForm3(Form1));
    holdIn(Form4, new TForm4(Form1));
    holdIn(Form5, new TForm5(Form1));
    holdIn(Form6, new TForm6(Form1));
    holdIn(Form7, new TForm7(host, Form1));
    holdIn(Form8, new TForm8(host, Form1));
}

} // namespace

int main(int argc, char** argv)
{
    SystemHost host;
    if (!StartupCheck([&host](std::string_view name) { return host.isFile(std::string(name)); }))
        return 0;

    // The program takes no arguments: Qt sees only the program's own name.
    int qtArgc = argc > 0 ? 1 : 0;
    OrvelaneApplication application(qtArgc, argv);
    createWindows(host);
    const std::unique_ptr<TForm1> mainWindow(Form1);
    Form1->show();
    application.exec();
    return 0;
}
