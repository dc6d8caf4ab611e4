#pragma once
// The stored record of one desktop: 4168 bytes, packed, little-endian. The library reads
// the identifier, name, flags, folder name and RDP port; every other field belongs to the
// main program and passes through unchanged.
#include <cstddef>
#include <cstdint>

#include "shared/remote_records.h"
#include "shared/shortstr.h"

namespace vexlo {

#pragma pack(push, 1)

struct TDesktopRecord {
    std::int64_t Id;                 // 0: desktop identifier; 1 is the system's own desktop
    ShortString Name;                // 8: display name
    std::uint8_t Enabled;            // 264: 0 leaves the desktop out of every list
    std::uint8_t NoIconTarget;       // 265: 1 hides it from the Icon Manager's targets
    ShortString FolderName;          // 266: folder inside the profile folder
    std::uint8_t Program522[770];    // 522: the main program's
    std::int32_t DisplayMode;        // 1292: index into the display mode list, -1 none
    std::uint8_t Program1296;        // 1296: the main program's
    ShortString Program1297;         // 1297: the main program's
    ShortString Wallpaper;           // 1553: wallpaper path
    std::uint8_t Program1809[7];     // 1809: the main program's
    std::int32_t Program1816;        // 1816: the main program's
    std::uint8_t Program1820;        // 1820: the main program's
    std::uint8_t Program1821[515];   // 1821: the main program's
    std::uint8_t Program2336;        // 2336: the main program's
    std::uint8_t Program2337;        // 2337: the main program's
    TRDPSettings RDP;                // 2338
    TRFBSettings RFB;                // 3628
    std::uint16_t RDPPort;           // 4164: TCP port of the RDP server; 0 reads as 3389
    std::uint8_t Padding[2];         // 4166
};

#pragma pack(pop)

inline constexpr std::size_t kDesktopRecordSize = 4168;
inline constexpr std::uint16_t kDefaultRdpPort = 3389;

static_assert(sizeof(TDesktopRecord) == kDesktopRecordSize, "TDesktopRecord is 4168 bytes");
static_assert(alignof(TDesktopRecord) == 1, "TDesktopRecord is packed");
static_assert(offsetof(TDesktopRecord, Id) == 0, "layout");
static_assert(offsetof(TDesktopRecord, Name) == 8, "layout");
static_assert(offsetof(TDesktopRecord, Enabled) == 264, "layout");
static_assert(offsetof(TDesktopRecord, NoIconTarget) == 265, "layout");
static_assert(offsetof(TDesktopRecord, FolderName) == 266, "layout");
static_assert(offsetof(TDesktopRecord, Program522) == 522, "layout");
static_assert(offsetof(TDesktopRecord, DisplayMode) == 1292, "layout");
static_assert(offsetof(TDesktopRecord, Program1296) == 1296, "layout");
static_assert(offsetof(TDesktopRecord, Program1297) == 1297, "layout");
static_assert(offsetof(TDesktopRecord, Wallpaper) == 1553, "layout");
static_assert(offsetof(TDesktopRecord, Program1809) == 1809, "layout");
static_assert(offsetof(TDesktopRecord, Program1816) == 1816, "layout");
static_assert(offsetof(TDesktopRecord, Program1820) == 1820, "layout");
static_assert(offsetof(TDesktopRecord, Program1821) == 1821, "layout");
static_assert(offsetof(TDesktopRecord, Program2336) == 2336, "layout");
static_assert(offsetof(TDesktopRecord, Program2337) == 2337, "layout");
static_assert(offsetof(TDesktopRecord, RDP) == 2338, "layout");
static_assert(offsetof(TDesktopRecord, RFB) == 3628, "layout");
static_assert(offsetof(TDesktopRecord, RDPPort) == 4164, "layout");
static_assert(offsetof(TDesktopRecord, Padding) == 4166, "layout");

}  // namespace vexlo
