#include "SecondaryWindow.h"

#include "FormLooks.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {

bool isEnter(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return modifiers == Qt::NoModifier && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter);
}

} // namespace

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

void SecondaryWindow::changeEvent(QEvent* event)
{
    keepFixedSize(this, event);
    QDialog::changeEvent(event);
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
    // Enter presses the focused push button, as Space does, and nothing else: the buttons
    // are not default buttons, so Enter on any other control neither presses one nor
    // closes the window. A held key presses it once, not once per repeat.
    if (isEnter(event)) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && !event->isAutoRepeat())
            button->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void keepFixedSize(QWidget* window, const QEvent* event)
{
    static constexpr Qt::WindowStates kSized = Qt::WindowMaximized | Qt::WindowFullScreen;
    if (event->type() != QEvent::WindowStateChange || !(window->windowState() & kSized))
        return;
    // Not from inside the change Qt is still making.
    QTimer::singleShot(0, window, [window] { window->setWindowState(window->windowState() & ~kSized); });
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

void SecondaryWindow::showError(const QString& text)
{
    QMessageBox::critical(this, QStringLiteral("Orvelane"), text);
}

void SecondaryWindow::showError(const std::string& text)
{
    showError(QString::fromStdString(text));
}

// One start at a time: the button rests while a start is under way, so a double press, or a
// press while a slow folder keeps the first one waiting, starts no second emulator and
// stacks up no second box; the answer comes within the host's limit.
void SecondaryWindow::startProgram(Host& host, QAbstractButton* button, const StartRequest& request,
                                   std::function<void(const StartOutcome&)> started)
{
    const bool hadFocus = button->hasFocus();
    button->setEnabled(false);
    host.startProgram(request, this,
                      [this, button, hadFocus, started = std::move(started)](const StartOutcome& outcome) {
                          button->setEnabled(true);
                          if (hadFocus)
                              button->setFocus();
                          if (outcome.started)
                              started(outcome);
                          else
                              showError(outcome.message);
                      });
}
