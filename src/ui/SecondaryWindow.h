// What every secondary window shares: a fixed dialog border with only the system menu and
// close box, centred on the screen when shown (by the compositor's rule on Wayland), a
// transient child of the window that opens it, looks from its .ui, no key that closes it
// but the platform's close-window keystroke, and Enter pressing the focused push button.
#pragma once

#include "Host.h"

#include <QDialog>

#include <functional>
#include <string>

class QAbstractButton;

class SecondaryWindow : public QDialog {
    Q_OBJECT

public:
    explicit SecondaryWindow(QWidget* parent = nullptr);

protected:
    // Called by each window right after setupUi: applies the looks and fixes the size.
    void finishSetup();

    // An error box over this window: error icon, caption "Orvelane". A std::string is the
    // system's own text, as file names come.
    void showError(const QString& text);
    void showError(const std::string& text);

    // Starts what `request` asks for through `host`, with `button` resting until the answer
    // comes; then `started` once the process exists, or an error box saying why not.
    void startProgram(Host& host, QAbstractButton* button, const StartRequest& request,
                      std::function<void(const StartOutcome&)> started);

    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// Takes `window` back to its own size when `event` says it was maximised or made full-screen.
// The program's windows have a fixed size, but a title bar Qt draws itself (on Wayland) offers
// maximising to every window.
void keepFixedSize(QWidget* window, const QEvent* event);

// Puts `window` in the middle of the screen it is on. Wayland lets no program place its
// windows: there the compositor decides, and this changes nothing on the screen.
void centreOnScreen(QWidget* window);
