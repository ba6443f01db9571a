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
    using Byte = std::uint8_t;
    return settingsBytes(OptionsRecord{.Header = {},
                                       .Reserved1 = Byte(reserved1),
                                       .Reserved2 = Byte(reserved2),
                                       .NoScanlines = Byte(noScanlines),
                                       .EnableVsync = Byte(enableVsync),
                                       .VgaMode = Byte(vgaMode),
                                       .FrameSkip = Byte(frameSkip)});
}

} // namespace support
