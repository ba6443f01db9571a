// Settings files for the tests, built with core's own header and encoder. The settings-file
// test pins that header and layout on its own; everything else builds its bytes here.
#pragma once

#include "SettingsLayout.h"

#include <QByteArray>

namespace support {

// Core's 20-character settings header.
QByteArray settingsHeader();

// The 35 bytes saving `record` writes.
QByteArray settingsBytes(const OptionsRecord& record);

// The 35 bytes saving writes for the six fields, in file order.
QByteArray settingsBytes(int reserved1, int reserved2, int noScanlines, int enableVsync, int vgaMode,
                         int frameSkip);

} // namespace support
