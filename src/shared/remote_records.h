#pragma once
// The remote session records exchanged byte for byte with the main program and
// embedded in the stored desktop record. Packed, little-endian, fixed offsets.
#include <cstddef>
#include <cstdint>

#include "shared/shortstr.h"

namespace vexlo {

#pragma pack(push, 1)

struct TRDPSettings {
    ShortString Server;             // 0
    ShortString UserName;           // 256
    ShortString Domain;             // 512
    ShortString Password;           // 768
    std::uint8_t DefaultShell;      // 1024
    ShortString Shell;              // 1025
    std::uint8_t FullScreen;        // 1281
    std::uint16_t DeskSize;         // 1282: index into the screen size list, 65535 = none
    std::uint16_t ColorDepth;       // 1284: 0 = 8, 1 = 15, 2 = 16, 3 = 24 bits, 65535 = none
    std::uint8_t RedirectSound;     // 1286
    std::uint8_t RedirectDrives;    // 1287
    std::uint8_t RedirectPrinters;  // 1288
    std::uint8_t RedirectPorts;     // 1289
};

struct TRFBSettings {
    ShortString Server;             // 0
    ShortString Password;           // 256
    std::uint8_t FullScreen;        // 512
    std::uint8_t SendPointer;       // 513
    std::uint8_t RenderCursor;      // 514
    std::uint8_t AllowResize;       // 515
    std::int32_t ColourLevel;       // 516: 0 full .. 3 very low, -1 none
    std::int32_t Encoding;          // 520: 0 ZRLE, 1 Hextile, 2 Raw, -1 none
    std::uint8_t AutoSelect;        // 524
    std::uint8_t Shared;            // 525
    std::uint8_t SendKeyboard;      // 526
    std::uint8_t SendClipboard;     // 527
    std::uint8_t AcceptClipboard;   // 528
    std::uint8_t Emulate3Buttons;   // 529
    std::uint8_t RateLimitMouse;    // 530
    std::uint8_t Padding;           // 531: aligns MenuKey; passed through untouched
    std::int32_t MenuKey;           // 532: 0..9 = F1..F10, 10 = none, -1 none selected
};

#pragma pack(pop)

static_assert(sizeof(TRDPSettings) == 1290, "TRDPSettings is 1290 bytes");
static_assert(offsetof(TRDPSettings, Server) == 0, "layout");
static_assert(offsetof(TRDPSettings, UserName) == 256, "layout");
static_assert(offsetof(TRDPSettings, Domain) == 512, "layout");
static_assert(offsetof(TRDPSettings, Password) == 768, "layout");
static_assert(offsetof(TRDPSettings, DefaultShell) == 1024, "layout");
static_assert(offsetof(TRDPSettings, Shell) == 1025, "layout");
static_assert(offsetof(TRDPSettings, FullScreen) == 1281, "layout");
static_assert(offsetof(TRDPSettings, DeskSize) == 1282, "layout");
static_assert(offsetof(TRDPSettings, ColorDepth) == 1284, "layout");
static_assert(offsetof(TRDPSettings, RedirectSound) == 1286, "layout");
static_assert(offsetof(TRDPSettings, RedirectDrives) == 1287, "layout");
static_assert(offsetof(TRDPSettings, RedirectPrinters) == 1288, "layout");
static_assert(offsetof(TRDPSettings, RedirectPorts) == 1289, "layout");

static_assert(sizeof(TRFBSettings) == 536, "TRFBSettings is 536 bytes");
static_assert(offsetof(TRFBSettings, Server) == 0, "layout");
static_assert(offsetof(TRFBSettings, Password) == 256, "layout");
static_assert(offsetof(TRFBSettings, FullScreen) == 512, "layout");
static_assert(offsetof(TRFBSettings, SendPointer) == 513, "layout");
static_assert(offsetof(TRFBSettings, RenderCursor) == 514, "layout");
static_assert(offsetof(TRFBSettings, AllowResize) == 515, "layout");
static_assert(offsetof(TRFBSettings, ColourLevel) == 516, "layout");
static_assert(offsetof(TRFBSettings, Encoding) == 520, "layout");
static_assert(offsetof(TRFBSettings, AutoSelect) == 524, "layout");
static_assert(offsetof(TRFBSettings, Shared) == 525, "layout");
static_assert(offsetof(TRFBSettings, SendKeyboard) == 526, "layout");
static_assert(offsetof(TRFBSettings, SendClipboard) == 527, "layout");
static_assert(offsetof(TRFBSettings, AcceptClipboard) == 528, "layout");
static_assert(offsetof(TRFBSettings, Emulate3Buttons) == 529, "layout");
static_assert(offsetof(TRFBSettings, RateLimitMouse) == 530, "layout");
static_assert(offsetof(TRFBSettings, Padding) == 531, "layout");
static_assert(offsetof(TRFBSettings, MenuKey) == 532, "layout");

// Values for an index field with nothing chosen.
constexpr std::uint16_t kRdpNoIndex = 65535;
constexpr std::int32_t kRfbNoIndex = -1;

// The values a fresh or reset desktop record gives its remote settings: the
// whole record is zeroed first, then the non-zero defaults are set.
void ResetRDPSettings(TRDPSettings& s);
void ResetRFBSettings(TRFBSettings& s);

}  // namespace vexlo
