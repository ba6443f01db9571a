// The reference for start-up figures: the smallest Qt Widgets program showing a window of
// the main window's size.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle("reference");
    window.resize(473, 216);
    window.show();
    return application.exec();
}
