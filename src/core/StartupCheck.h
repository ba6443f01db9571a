// Whether the program may run at all: both companion files must be in the working directory.
#pragma once

#include <functional>
#include <string_view>

inline constexpr std::string_view kCompanionTextFileName = "ORVELANE.TXT";

// True when "ORVELANE.DAT" and then "ORVELANE.TXT" are regular files by `isFile`; the
// second name is asked about only when the first passes.
bool StartupCheck(const std::function<bool(std::string_view name)>& isFile);
