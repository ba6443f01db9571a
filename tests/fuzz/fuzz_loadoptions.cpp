// Feeds arbitrary bytes to the settings file decoder, and through a real file to loading and saving.
#include "SettingsFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

OptionsRecord sentinelRecord()
{
    OptionsRecord record;
    record.Header = "left alone";
    record.Reserved1 = 0xA1;
    record.Reserved2 = 0xA2;
    record.NoScanlines = 0xA3;
    record.EnableVsync = 0xA4;
    record.VgaMode = 0xA5;
    record.FrameSkip = 0xA6;
    return record;
}

// Memory-backed when the system has it, so the fsync of every save costs nothing. The path is
// never destroyed, so the clean-up at exit can still use it.
const fs::path& scratchFolder()
{
    static const fs::path* folder = [] {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "orvelane-fuzz-XXXXXX").string();
        require(::mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(scratchFolder(), ignored);
        });
        return new fs::path(pattern);
    }();
    return *folder;
}

std::vector<std::uint8_t> readWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Each field is either its byte from the input or, past the end, the value it had before.
void checkDecoded(const std::uint8_t* data, std::size_t size, const OptionsRecord& decoded)
{
    const OptionsRecord before = sentinelRecord();
    const auto expect = [&](std::size_t offset, std::uint8_t field, std::uint8_t earlier) {
        require(field == (offset < size ? data[offset] : earlier), "field is its byte or its earlier value");
    };
    require(decoded.Header == before.Header, "loading never touches the header");
    expect(20, decoded.Reserved1, before.Reserved1);
    expect(21, decoded.Reserved2, before.Reserved2);
    expect(22, decoded.NoScanlines, before.NoScanlines);
    expect(23, decoded.EnableVsync, before.EnableVsync);
    expect(25, decoded.FrameSkip, before.FrameSkip);
    const std::size_t lastVga = size > 26 ? std::min<std::size_t>(size, kSettingsFileSize) - 1 : 24;
    expect(lastVga, decoded.VgaMode, before.VgaMode);
}

void checkFileRoundTrip(const std::uint8_t* data, std::size_t size, const OptionsRecord& decoded)
{
    const fs::path file = scratchFolder() / std::string(kSettingsFileName);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    OptionsRecord loaded = sentinelRecord();
    require(loadOptionsFrom(file, loaded), "a regular file loads");
    require(loaded == decoded, "loading a file decodes its bytes");

    require(bool(saveOptionsTo(file, loaded)), "saving into a writable folder succeeds");
    const SettingsBytes expected = encodeOptions(loaded);
    require(readWhole(file) == std::vector<std::uint8_t>(expected.begin(), expected.end()),
            "the saved file is exactly the encoded record");

    OptionsRecord reloaded;
    reloaded.Header = loaded.Header;
    require(loadOptionsFrom(file, reloaded) && reloaded == loaded, "what was saved loads back the same");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    OptionsRecord decoded = sentinelRecord();
    decodeOptions(std::span<const std::uint8_t>(data, size), decoded);
    checkDecoded(data, size, decoded);

    const SettingsBytes encoded = encodeOptions(decoded);
    require(std::equal(kSettingsHeader.begin(), kSettingsHeader.end(), encoded.begin()),
            "fixed header saved");
    OptionsRecord again = sentinelRecord();
    decodeOptions(encoded, again);
    require(again == decoded, "decoding what was encoded gives the record back");

    // The file round trip costs an fsync; a decoder input longer than the file adds nothing to it.
    if (size <= kSettingsFileSize + 1)
        checkFileRoundTrip(data, size, decoded);
    return 0;
}
