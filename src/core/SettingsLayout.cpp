#include "SettingsLayout.h"

#include <algorithm>

namespace {

constexpr std::size_t kHeaderSize = kSettingsHeader.size();
constexpr std::size_t kReserved1Offset = 20;
constexpr std::size_t kReserved2Offset = 21;
constexpr std::size_t kNoScanlinesOffset = 22;
constexpr std::size_t kEnableVsyncOffset = 23;
constexpr std::size_t kVgaModeOffset = 24;
constexpr std::size_t kFrameSkipOffset = 25;
// The settings file holds VgaMode ten times: once among the switches and nine times at the end.
constexpr std::size_t kVgaCopiesOffset = 26;

static_assert(kHeaderSize == kReserved1Offset);

} // namespace

SettingsBytes encodeOptions(const OptionsRecord& record)
{
    SettingsBytes bytes{};
    for (std::size_t i = 0; i < kHeaderSize; ++i)
        bytes[i] = static_cast<std::uint8_t>(kSettingsHeader[i]);
    bytes[kReserved1Offset] = record.Reserved1;
    bytes[kReserved2Offset] = record.Reserved2;
    bytes[kNoScanlinesOffset] = record.NoScanlines;
    bytes[kEnableVsyncOffset] = record.EnableVsync;
    bytes[kVgaModeOffset] = record.VgaMode;
    bytes[kFrameSkipOffset] = record.FrameSkip;
    for (std::size_t i = kVgaCopiesOffset; i < kSettingsFileSize; ++i)
        bytes[i] = record.VgaMode;
    return bytes;
}

bool isSettingsFile(std::span<const std::uint8_t> bytes)
{
    return bytes.size() == kSettingsFileSize &&
           std::equal(kSettingsHeader.begin(), kSettingsHeader.end(), bytes.begin());
}

void decodeOptions(std::span<const std::uint8_t> bytes, OptionsRecord& record)
{
    const auto take = [bytes](std::size_t offset, std::uint8_t& field) {
        if (offset < bytes.size())
            field = bytes[offset];
    };
    take(kReserved1Offset, record.Reserved1);
    take(kReserved2Offset, record.Reserved2);
    take(kNoScanlinesOffset, record.NoScanlines);
    take(kEnableVsyncOffset, record.EnableVsync);
    take(kVgaModeOffset, record.VgaMode);
    take(kFrameSkipOffset, record.FrameSkip);
    // Each later copy overwrites the one before, so the last copy present wins.
    for (std::size_t offset = kVgaCopiesOffset; offset < kSettingsFileSize; ++offset)
        take(offset, record.VgaMode);
}
