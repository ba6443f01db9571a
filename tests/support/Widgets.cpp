#include "Widgets.h"

#include <QApplication>
#include <QTimer>

namespace support {

MessageBoxSeen catchBox(const std::function<void()>& action)
{
    MessageBoxSeen box;
    QTimer::singleShot(0, [&box] {
        if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box = {shown->windowTitle(), shown->text(), shown->icon()};
            shown->accept();
        }
    });
    action();
    return box;
}

QString modalOpenedBy(const std::function<void()>& action)
{
    QString opened;
    QTimer::singleShot(0, [&opened] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = modal->metaObject()->className();
            modal->close();
        }
    });
    action();
    return opened;
}

} // namespace support
