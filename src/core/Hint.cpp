#include "Hint.h"

namespace {

constexpr char kHintBar = '|';

} // namespace

std::string_view shortHint(std::string_view hint)
{
    return hint.substr(0, hint.find(kHintBar));
}

std::string_view longHint(std::string_view hint)
{
    const std::size_t bar = hint.find(kHintBar);
    return bar == std::string_view::npos ? hint : hint.substr(bar + 1);
}
