// What every secondary window shares: a fixed dialog border with only the system menu and
// close box, centred on the screen when shown (by the compositor's rule on Wayland), a
// transient child of the window that opens it, looks from its .ui, no key that closes it
// but the platform's close-window keystroke, and Enter pressing the focused push button.
#pragma once

#include "Host.h"

#include <QDialog>

#include <string>
#include <string_view>

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

    // Makes `button` this window's play button for the program `name`: it rests while a start
    // of that program is under way, asked for from this window or any other of its kind.
    void setPlayButton(QAbstractButton* button, const Host& host, std::string_view name);

    // Starts what `request` asks for through `host`; the play buttons of every window of this
    // kind rest until the answer comes. The answer goes to the window of this kind open then:
    // showStarted() once the process exists, or an error box saying why not. With none open a
    // failure's box shows over the window in front, and a success needs no word.
    void startProgram(Host& host, const StartRequest& request);

    // What this window shows once a start asked for from a window of its kind has made the process.
    virtual void showStarted(const StartOutcome& outcome);

    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QAbstractButton* m_playButton = nullptr;
};

// Takes `window` back to its own size when `event` says it was maximised or made full-screen.
// The program's windows have a fixed size, but a title bar Qt draws itself (on Wayland) offers
// maximising to every window.
void keepFixedSize(QWidget* window, const QEvent* event);

// Puts `window` in the middle of the screen it is on. Wayland lets no program place its
// windows: there the compositor decides, and this changes nothing on the screen.
void centreOnScreen(QWidget* window);
