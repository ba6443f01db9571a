#include "ProgramStart.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr std::size_t kHeaderOffsetField = 0x3C;

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view text)
{
    return bytes.size() >= text.size() &&
           std::equal(text.begin(), text.end(), bytes.begin(),
                      [](char c, std::uint8_t byte) { return static_cast<std::uint8_t>(c) == byte; });
}

bool isWindowsHeader(std::span<const std::uint8_t> bytes)
{
    return startsWith(bytes, std::string_view("PE\0\0", 4)) || startsWith(bytes, "NE");
}

} // namespace

std::optional<std::uint32_t> newHeaderOffset(std::span<const std::uint8_t> head)
{
    if (!startsWith(head, "MZ") || head.size() < kHeaderOffsetField + 4)
        return std::nullopt;
    std::uint32_t offset = 0;
    for (std::size_t i = 0; i < 4; ++i)
        offset |= static_cast<std::uint32_t>(head[kHeaderOffsetField + i]) << (8 * i);
    return offset;
}

ProgramKind programKind(std::span<const std::uint8_t> head, std::span<const std::uint8_t> atHeaderOffset,
                        bool runnable)
{
    if (!startsWith(head, "MZ"))
        return runnable ? ProgramKind::Native : ProgramKind::NotAProgram;
    return newHeaderOffset(head) && isWindowsHeader(atHeaderOffset) ? ProgramKind::Windows : ProgramKind::Dos;
}
