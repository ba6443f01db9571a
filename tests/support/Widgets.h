// What the widget tests share: finding a window's controls by name and answering the modal
// windows a command opens.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>

#include <functional>

namespace support {

// The child of `parent` called `name`; the test program stops, naming it, when there is none.
template <typename T> T* control(const QObject* parent, const QString& name)
{
    T* found = parent->findChild<T*>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

// A message box as it showed: an empty caption when none showed.
struct MessageBoxSeen {
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Runs `action`, accepting the message box it shows as soon as it shows.
MessageBoxSeen catchBox(const std::function<void()>& action);

// Runs `action`, closing the modal window it opens as soon as it shows; that window's class
// name, or an empty text when none opened.
QString modalOpenedBy(const std::function<void()>& action);

} // namespace support
