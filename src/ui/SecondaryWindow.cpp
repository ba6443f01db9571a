#include "SecondaryWindow.h"

#include "FormLooks.h"

#include <QKeyEvent>
#include <QScreen>

SecondaryWindow::SecondaryWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setSizeGripEnabled(false);
}

void SecondaryWindow::finishSetup()
{
    FormLooks::apply(this);
    setFixedSize(size());
}

void SecondaryWindow::showEvent(QShowEvent* event)
{
    centreOnScreen(this);
    QDialog::showEvent(event);
}

void SecondaryWindow::keyPressEvent(QKeyEvent* event)
{
    // A dialog would close on Escape; these windows close only through the close box.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void centreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}
