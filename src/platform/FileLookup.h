// Finding a file by name whatever its letter case, as the emulators' own platform does:
// files copied from that era's discs are often named "NEORAGE.EXE" or "orvelane.dat".
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The regular file (or a link to one) in `folder` (empty: the working directory) whose name
// is `name` with any letters in any case. The name in exactly the asked case wins; among
// other spellings, the one first in byte order ("NEORAGE.EXE", then "NeoRage.exe", then
// "neoRAGE.exe"). A directory of that name never counts. The path returned is `folder`
// joined with the name found.
std::optional<std::filesystem::path> findFileIgnoringCase(const std::filesystem::path& folder,
                                                          std::string_view name);

// True for a regular file, or a link to one, that this user may run.
bool isExecutableFile(const std::string& path);

// The same rule for an entry of any kind named `name` in `folder`: a folder, a FIFO, a link
// that leads nowhere.
std::optional<std::filesystem::path> findEntryIgnoringCase(const std::filesystem::path& folder,
                                                           std::string_view name);

// Every regular file (or link to one) in `folder` whose name is `name` in any letter case, in
// byte order. Linux only: a Windows folder holds one spelling of a name at most.
std::vector<std::string> fileSpellings(const std::filesystem::path& folder, std::string_view name);
