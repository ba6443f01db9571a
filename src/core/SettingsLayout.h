// The 35-byte settings file "ORVELANE.DAT": its name and byte layout. Reading and writing
// the file itself is the platform's (SettingsFile.h).
#pragma once

#include "OptionsRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

inline constexpr std::string_view kSettingsFileName = "ORVELANE.DAT";
// One blank, "KELMOR", three blanks, "- DATA -", two blanks: 20 characters, no terminator.
inline constexpr std::string_view kSettingsHeader = " KELMOR   - DATA -  ";
inline constexpr std::size_t kSettingsFileSize = 35;

using SettingsBytes = std::array<std::uint8_t, kSettingsFileSize>;

// The exact 35 bytes SaveOptions writes for the record (the fixed header, the six fields,
// then VgaMode nine more times). The record's own Header is not used.
SettingsBytes encodeOptions(const OptionsRecord& record);

// True for the bytes of a whole settings file as this program writes it: 35 bytes beginning
// with the fixed header. Only such a file may be saved over through a link that leads out of
// the working directory.
bool isSettingsFile(std::span<const std::uint8_t> bytes);

// Fills the six one-byte fields from the bytes of a file, as loading does: a field whose
// byte lies past the end keeps its value, VgaMode ends as the last of its ten copies that
// is present, bytes past 35 are ignored, the header is neither compared nor stored.
void decodeOptions(std::span<const std::uint8_t> bytes, OptionsRecord& record);
