#include "SecondaryWindow.h"

#include "FormLooks.h"
#include "OrvelaneApplication.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
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
    OrvelaneApplication::showErrorBox(this, text);
}

void SecondaryWindow::showError(const std::string& text)
{
    showError(QString::fromStdString(text));
}

void SecondaryWindow::setPlayButton(QAbstractButton* button, const Host& host, std::string_view name)
{
    m_playButton = button;
    button->setEnabled(!host.isStarting(std::string(name)));
}

void SecondaryWindow::showStarted(const StartOutcome&) {}

// One start of a program at a time: its play buttons rest while a start is under way, so a
// double press, or a press in a window closed and opened again while a slow folder keeps the
// first start waiting, starts no second emulator; the answer comes within the host's limit.
// Each opening makes a new window, so the answer looks for the one open when it comes.
void SecondaryWindow::startProgram(Host& host, const StartRequest& request)
{
    const QPointer<SecondaryWindow> asking(this);
    const bool hadFocus = m_playButton->hasFocus();
    const QMetaObject* kind = metaObject();
    m_playButton->setEnabled(false);
    host.startProgram(request, QCoreApplication::instance(),
                      [asking, hadFocus, kind](const StartOutcome& outcome) {
                          SecondaryWindow* open = nullptr;
                          for (QWidget* widget : QApplication::topLevelWidgets()) {
                              auto* window = qobject_cast<SecondaryWindow*>(widget);
                              if (!window || window->metaObject() != kind || !window->m_playButton)
                                  continue;
                              window->m_playButton->setEnabled(true);
                              if (window->isVisible())
                                  open = window;
                          }
                          if (open && open == asking && hadFocus)
                              open->m_playButton->setFocus();
                          if (open && outcome.started)
                              open->showStarted(outcome);
                          else if (open)
                              open->showError(outcome.message);
                          else if (!outcome.started)
                              OrvelaneApplication::showErrorBox(QApplication::activeWindow(),
                                                                QString::fromStdString(outcome.message));
                      });
}
