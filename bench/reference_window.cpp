// The references for start-up figures: the smallest Qt Widgets program showing a window of
// the main window's size; given the argument "text", the same window with one line of text,
// which adds what any window with text pays once (the font configuration and database).
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle("reference");
    window.resize(473, 216);
    if (argc > 1 && QByteArrayView(argv[1]) == "text")
        (new QLabel("The quick brown fox jumps over the lazy dog", &window))->move(10, 10);
    window.show();
    return application.exec();
}
