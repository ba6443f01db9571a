#include "OrvelaneApplication.h"

#include "FormLooks.h"
#include "Glyphs.h"
#include "OrvelaneStyle.h"
#include "Version.h"

#include <QFont>
#include <QMessageBox>

#include <exception>

OrvelaneApplication::OrvelaneApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName("Orvelane");
    setApplicationVersion(QStringLiteral(ORVELANE_VERSION));
    // Docks on Wayland match windows to the desktop entry, and so to its icon, by this name.
    setDesktopFileName("org.example.Orvelane");
    setWindowIcon(Glyphs::windowIcon(":/pictures/icon.svg"));
    setStyle(new OrvelaneStyle);
    setPalette(FormLooks::classicPalette());
    FormLooks::installFontSubstitutes();
    // The desktop's dialog and menu font: "MS Sans Serif", 11 pixels high.
    QFont dialogFont(FormLooks::installedFamily("MS Sans Serif"));
    dialogFont.setPixelSize(11);
    setFont(dialogFont);
}

bool OrvelaneApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        showError(tr("Unknown error"));
    }
    return false;
}

void OrvelaneApplication::showError(const QString& message)
{
    // Over the window in front, as its transient child: a Wayland compositor keeps it above that
    // window rather than anywhere on the screen.
    showErrorBox(activeModalWidget() ? activeModalWidget() : activeWindow(), message + ".");
}

void OrvelaneApplication::showErrorBox(QWidget* over, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Orvelane"), text, QMessageBox::Ok, over);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
