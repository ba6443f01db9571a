// Hint texts: a short part and a long part separated by the first "|".
#pragma once

#include <string_view>

// The part before the first "|", or the whole text when there is none.
std::string_view shortHint(std::string_view hint);
// The part after the first "|", or the whole text when there is none; blanks are kept.
std::string_view longHint(std::string_view hint);
