// Letter case in the single-byte names and texts of that era: only the 26 Latin letters
// have one; every other byte stays as it is.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

inline char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string upperAscii(std::string text)
{
    std::ranges::transform(text, text.begin(), [](char c) { return upperAscii(c); });
    return text;
}

// True when `a` and `b` differ at most in the case of their letters.
inline bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// True when `text` begins with `start`, the case of their letters aside.
inline bool startsWithIgnoringCase(std::string_view text, std::string_view start)
{
    return text.size() >= start.size() && equalIgnoringCase(text.substr(0, start.size()), start);
}
