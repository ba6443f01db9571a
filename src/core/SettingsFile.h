// The 35-byte settings file "ORVELANE.DAT": its byte layout, LoadOptions and SaveOptions.
#pragma once

#include "OptionsRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
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

// Fills the six one-byte fields from the bytes of a file, as loading does: a field whose
// byte lies past the end keeps its value, VgaMode ends as the last of its ten copies that
// is present, bytes past 35 are ignored, the header is neither compared nor stored.
void decodeOptions(std::span<const std::uint8_t> bytes, OptionsRecord& record);

// Loads the file at `path` into the record. Never blocks (a FIFO or device is not read),
// never writes. Returns false, leaving the record alone, when the file cannot be read.
bool loadOptionsFrom(const std::filesystem::path& path, OptionsRecord& record);

// Sets record.Header to the fixed header and replaces the file at `path` with the 35
// bytes, atomically: on any failure (full disk, write-protected file, read-only folder,
// a directory of that name) the earlier file stays exactly as it was and false is returned.
// A symbolic link keeps pointing at its target, which receives the new content (a dangling
// link gets its target created). The file keeps its permission bits; a new one is 0644 less
// the umask. A file or folder without any write bit is refused even when running as root.
// A temporary left beside the file by a save whose process was killed is removed by the
// next save that succeeds.
bool saveOptionsTo(const std::filesystem::path& path, OptionsRecord& record);

// "ORVELANE.DAT" in the working directory; failures are not reported to the caller.
void LoadOptions(OptionsRecord& record);
void SaveOptions(OptionsRecord& record);
