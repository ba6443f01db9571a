// Finding a file by name whatever its letter case, as the emulators' own platform does:
// files copied from that era's discs are often named "NEORAGE.EXE" or "orvelane.dat".
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The regular file (or a link to one) in `folder` (empty: the working directory) whose name
// is `name` with any letters in any case. The name in exactly the asked case wins; among
// other spellings, the one first in byte order ("NEORAGE.EXE", then "NeoRage.exe", then
// "neoRAGE.exe"). A directory of that name never counts. The path returned is `folder`
// joined with the name found.
std::optional<std::filesystem::path> findFileIgnoringCase(const std::filesystem::path& folder,
                                                          std::string_view name);

// True for a regular file, or a link to one, that this user may run.
bool isExecutableFile(const std::string& path);

// The same rule for a folder (or a link to one) named `name` in `folder`.
std::optional<std::filesystem::path> findFolderIgnoringCase(const std::filesystem::path& folder,
                                                            std::string_view name);
