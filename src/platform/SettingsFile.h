// Reading and writing the settings file "ORVELANE.DAT" (its layout is core's SettingsLayout.h).
#pragma once

#include "OptionsRecord.h"
#include "SettingsLayout.h"

#include <filesystem>

// Loads the file at `path` into the record. Never blocks (a FIFO or device is not read),
// never writes. Returns false, leaving the record alone, when the file cannot be read.
bool loadOptionsFrom(const std::filesystem::path& path, OptionsRecord& record);

// Sets record.Header to the fixed header and replaces the file at `path` with the 35
// bytes, atomically: on any failure (full disk, write-protected file, a directory of that
// name) the earlier file stays exactly as it was and false is returned. The new file keeps
// the old one's permission bits, ACL and other extended attributes; a new one is 0644 less
// the umask. Where no replacement can be made beside the file (a folder the user may not
// write, another user's file in a sticky folder, a file mounted on its own, attributes a
// new file cannot carry), the existing file is rewritten in place instead, keeping its hard
// links. A file without any write bit is refused even when running as root. A symbolic
// link keeps pointing at its target, which receives the new content (a dangling link gets
// its target created), except where the kernel's protected_symlinks rule would refuse to
// follow it: then nothing is written. A temporary left beside the file by a save whose
// process was killed, wherever that process ran, is removed by the next save that succeeds.
bool saveOptionsTo(const std::filesystem::path& path, OptionsRecord& record);

// The settings file in the working directory: "ORVELANE.DAT" in any letter case, the name
// in exactly that case first; "ORVELANE.DAT" itself when there is none.
std::filesystem::path settingsFilePath();

// The settings file in the working directory; failures are not reported to the caller.
void LoadOptions(OptionsRecord& record);
void SaveOptions(OptionsRecord& record);
