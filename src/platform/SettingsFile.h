// Reading and writing the settings file "ORVELANE.DAT" (its layout is core's SettingsLayout.h).
#pragma once

#include "AtomicFile.h"
#include "OptionsRecord.h"
#include "SettingsLayout.h"

#include <filesystem>

// Loads the file at `path` into the record. Never blocks (a FIFO or device is not read),
// never writes. Returns false, leaving the record alone, when the file cannot be read.
bool loadOptionsFrom(const std::filesystem::path& path, OptionsRecord& record);

// Sets record.Header to the fixed header and replaces the file at `path` with the 35 bytes
// through replaceFileAtomically(), which says what is kept and where links are followed; a
// link out of path's folder is followed only onto a settings file (isSettingsFile()).
WriteResult saveOptionsTo(const std::filesystem::path& path, OptionsRecord& record);

// The settings file in the working directory: "ORVELANE.DAT" in any letter case, the name
// in exactly that case first; "ORVELANE.DAT" itself when there is none.
std::filesystem::path settingsFilePath();

// The settings file in the working directory. A failed load leaves the record alone; a failed
// save says why, and names the file by its full path.
void LoadOptions(OptionsRecord& record);
WriteResult SaveOptions(OptionsRecord& record);
