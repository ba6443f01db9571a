// Small helpers every end-to-end test shares.
#pragma once

#include "DesktopDriver.h"

#include <QString>
#include <QTest>

namespace E2e {

// On a failed test function, keeps a picture of the whole screen beside the test binary's
// working directory, named after the test, so a CI log can be read alongside it.
inline void saveScreenIfFailed(const DesktopDriver& desktop)
{
    if (!QTest::currentTestFailed())
        return;
    const QString name = QStringLiteral("%1-%2.png")
                             .arg(QString::fromLatin1(QTest::currentAppName()),
                                  QString::fromLatin1(QTest::currentTestFunction()));
    if (desktop.screenshot(name))
        qWarning("screen saved as %s", qPrintable(name));
}

} // namespace E2e
