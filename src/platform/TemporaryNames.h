// The names of the temporaries a replace writes beside a file, the same on every system, so a
// save on one machine knows the leftovers of another sharing the folder. Only the atomic-file
// units use them.
#pragma once

#include <string>
#include <string_view>

// ".<name>.": what every temporary of `name` begins with. Appended piece by piece: g++ 12 at
// -O2 warns falsely about "." + std::string.
inline std::string temporaryPrefix(std::string_view name)
{
    return std::string(".").append(name).append(".");
}

// ".<name>.<pid of the writer>.<random number>".
inline std::string temporaryName(std::string_view name, unsigned long pid, unsigned long number)
{
    return temporaryPrefix(name).append(std::to_string(pid)).append(".").append(std::to_string(number));
}

// True for a name of the shape of `name`'s temporaries, so nothing else in the folder is ever
// removed. A pid has at most 10 digits on any system.
inline bool isTemporaryName(std::string_view leaf, std::string_view name)
{
    const std::string prefix = temporaryPrefix(name);
    const auto isNumber = [](std::string_view text) {
        return !text.empty() && text.size() <= 10 &&
               text.find_first_not_of("0123456789") == std::string_view::npos;
    };
    const std::size_t dot = leaf.find('.', prefix.size());
    return leaf.starts_with(prefix) && dot != std::string_view::npos &&
           isNumber(leaf.substr(prefix.size(), dot - prefix.size())) && isNumber(leaf.substr(dot + 1));
}
