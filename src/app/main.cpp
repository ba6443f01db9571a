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

#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace {

void createSecondaryWindows(Host& host)
{
    holdIn(Form2, new TForm2(Form1));
    holdIn(Form3, new TForm3(Form1));
    holdIn(Form4, new TForm4(Form1));
    holdIn(Form5, new TForm5(host, Form1));
    holdIn(Form6, new TForm6(Form1));
    holdIn(Form7, new TForm7(host, Form1));
    holdIn(Form8, new TForm8(host, Form1));
}

// Runs `then` once, right after `window` is first painted on the screen (or after a second
// at the latest, should the display never expose it).
class AfterFirstPaint : public QObject {
public:
    AfterFirstPaint(QWindow* window, std::function<void()> then) : QObject(window), m_then(std::move(then))
    {
        window->installEventFilter(this);
        QTimer::singleShot(1000, this, &AfterFirstPaint::run);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Qt paints the window while it handles the expose event; queue the work behind it.
        if (event->type() == QEvent::Expose)
            QMetaObject::invokeMethod(this, &AfterFirstPaint::run, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }

private:
    void run()
    {
        if (auto then = std::exchange(m_then, nullptr))
            then();
    }

    std::function<void()> m_then;
};

} // namespace

int main(int argc, char** argv)
{
    SystemHost host;
    if (!StartupCheck([&host](std::string_view name) { return host.isFile(std::string(name)); }))
        return 0;

    // The program takes no arguments: Qt sees only the program's own name.
    int qtArgc = argc > 0 ? 1 : 0;
    OrvelaneApplication application(qtArgc, argv);
    holdIn(Form1, new TForm1(host));
    std::unique_ptr<TForm1> mainWindow(Form1);
    Form1->show();
    // The seven secondary windows are created, in their order, once the main window is on
    // the screen: it shows in half the time, and no command can reach them sooner.
    new AfterFirstPaint(Form1->windowHandle(), [&host] { createSecondaryWindows(host); });
    application.exec();
    // A click just before the end is still saved: the program waits for it, up to the limit,
    // on X11 and Wayland alike, and says so when it waited in vain.
    if (const std::optional<WriteResult> unsaved = host.options().finish())
        OrvelaneApplication::showError(
            QStringLiteral("The launch switches were not saved in \"%1\" before the program ended: %2")
                .arg(QString::fromStdString(unsaved->file.string()),
                     QString::fromStdString(unsaved->failure)));
    // Closing Qt's Wayland connection can hang for good: its reading thread may wait on a
    // read the main thread began, while the main thread waits for that thread to end. Once
    // the windows are gone nothing of the program's own is left to finish, so on Wayland it
    // ends here and the system closes the connection.
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        mainWindow.reset();
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}
