// Small helpers every end-to-end test shares.
#pragma once

#include "DesktopDriver.h"
#include "VirtualDisplay.h"

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

// Skips the test case for want of the `missing` tools, unless ORVELANE_E2E_REQUIRED is set
// (scripts/test.sh sets it): then a machine without them fails instead of passing with
// nothing run.
#define E2E_REQUIRE_TOOLS(missing)                                                                           \
    do {                                                                                                     \
        const QStringList absent = (missing);                                                                \
        if (!absent.isEmpty()) {                                                                             \
            const QString why = QStringLiteral("not installed: ") + absent.join(QStringLiteral(", "));       \
            if (qEnvironmentVariableIsSet("ORVELANE_E2E_REQUIRED"))                                          \
                QFAIL(qPrintable(why));                                                                      \
            QSKIP(qPrintable(why));                                                                          \
        }                                                                                                    \
    } while (false)

// Starts `display` for the test case, where Xvfb and xdotool are there (E2E_REQUIRE_TOOLS).
#define E2E_START_DISPLAY(display)                                                                           \
    do {                                                                                                     \
        E2E_REQUIRE_TOOLS(VirtualDisplay::missingTools());                                                   \
        QVERIFY2((display).start(), qPrintable((display).error()));                                          \
    } while (false)
