#include "SettingsBytes.h"

#include <cstdint>

namespace support {

QByteArray settingsHeader()
{
    return QByteArray(kSettingsHeader.data(), qsizetype(kSettingsHeader.size()));
}

QByteArray settingsBytes(const OptionsRecord& record)
{
    const SettingsBytes bytes = encodeOptions(record);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

QByteArray settingsBytes(int reserved1, int reserved2, int noScanlines, int enableVsync, int vgaMode,
                         int frameSkip)
{
    OptionsRecord record;
    record.Reserved1 = std::uint8_t(reserved1);
    record.Reserved2 = std::uint8_t(reserved2);
    record.NoScanlines = std::uint8_t(noScanlines);
    record.EnableVsync = std::uint8_t(enableVsync);
    record.VgaMode = std::uint8_t(vgaMode);
    record.FrameSkip = std::uint8_t(frameSkip);
    return settingsBytes(record);
}

} // namespace support
