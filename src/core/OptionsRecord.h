// The in-memory image of the settings file "ORVELANE.DAT". The options store keeps two for
// the whole run: the configuration window's (Unit5) and, separately, the one the NEO R.A.G.E.
// play window's presses read into (Unit8).
#pragma once

#include <cstdint>
#include <string>

struct OptionsRecord {
    std::string Header;         // at most 20 single-byte characters; set before every save, never by loading
    std::uint8_t Reserved1 = 0; // carried from file to file unchanged
    std::uint8_t Reserved2 = 0; // carried from file to file unchanged
    std::uint8_t NoScanlines = 0; // 0 off, 1 on; any other value means neither
    std::uint8_t EnableVsync = 0; // 0 off, 1 on; any other value means neither
    std::uint8_t VgaMode = 0;     // 0 off, 1 on; any other value means neither
    std::uint8_t FrameSkip = 0;   // 0 off, 1 on; any other value means neither

    friend bool operator==(const OptionsRecord&, const OptionsRecord&) = default;
};
