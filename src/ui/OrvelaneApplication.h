// The application object: an error that escapes an event handler is shown in a message
// box (error icon, the message and ".", caption "Orvelane") and the program goes on.
#pragma once

#include <QApplication>

class OrvelaneApplication : public QApplication {
    Q_OBJECT

public:
    OrvelaneApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the message box for an error that escaped an event handler.
    static void showError(const QString& message);

    // Every error box of the program: error icon, caption "Orvelane", an OK button, over
    // `over`. Its text names files, whose names may look like markup ("<b>", "&lt;"): it is
    // shown as written, never read as rich text.
    static void showErrorBox(QWidget* over, const QString& text);
};
