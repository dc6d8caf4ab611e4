// Settings store rules that need no Win32: names of keys, values and desktop objects, the
// check on names that become parts of paths, identifiers from the clock and the way a
// deciphered or reset record is formed.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "shared/desktop_name.h"
#include "shared/records.h"
#include "shared/settings_rules.h"

namespace {

using namespace vexlo;

std::vector<std::uint8_t> Image(const TDesktopRecord& r) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&r);
    return std::vector<std::uint8_t>(p, p + sizeof r);
}

void PutLe(std::vector<std::uint8_t>& img, std::size_t at, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) img[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Shift-JIS: lead bytes 0x81-0x9F and 0xE0-0xFC; their trail bytes include 0x5C and 0x7C.
bool SjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

TEST(SettingsNames, KeysValuesAndDesktopObjects) {
    EXPECT_EQ(DesktopsKeyPath("Work"), "Software\\Brindlecote\\Quillmere\\Work\\Desktops");
    EXPECT_EQ(DesktopValueName(0), "Desktop0");
    EXPECT_EQ(DesktopValueName(12), "Desktop12");
    EXPECT_EQ(DesktopObjectName(1), "Default");
    EXPECT_EQ(DesktopObjectName(-5), "Vexlo_-5");
    EXPECT_EQ(DesktopObjectName(0), "Vexlo_0");
    EXPECT_EQ(DesktopObjectName(std::numeric_limits<std::int64_t>::min()),
              "Vexlo_-9223372036854775808");
    EXPECT_EQ(DesktopObjectName(4529225000), "Vexlo_4529225000");
}

TEST(PathNames, NamesThatCouldLeadElsewhereAreRefused) {
    for (const char* bad : {"", ".", "..", "..\\..\\x", "x\\..", "a/b", "C:", "a:b", "CON", "con",
                            "con.txt", "NUL ", "Aux.ini", "LPT1", "com9", "x.", "x ", "tab\there",
                            "a*b", "a?", "a|b", "a\"b", "<x>", "\x7f\x01",
                            // Reserved in every folder too: 0 and the superscript digits of
                            // code page 1252, and the console's own names.
                            "COM0", "lpt0", "COM\xb9", "LPT\xb2", "com\xb3.txt", "CONIN$", "conout$"}) {
        EXPECT_FALSE(IsSafePathComponent(bad)) << '"' << bad << '"';
    }
    for (const char* good : {"Default", "Work 2", "x.y", "COM10", "CONSOLE", "LPT", "...a", " lead",
                             "caf\xe9", "100%"}) {
        EXPECT_TRUE(IsSafePathComponent(good)) << '"' << good << '"';
    }
    // The empty profile is the product folder itself; every other rule still holds.
    EXPECT_TRUE(IsUsableProfileName(""));
    EXPECT_FALSE(IsUsableProfileName(".."));
    EXPECT_FALSE(IsUsableProfileName("a\\b"));
}

TEST(PathNames, TwoByteCharactersKeepTheirTrailBytes) {
    const std::string hyou = "\x95\x5c";      // a Shift-JIS character whose trail byte is '\'
    const std::string bar = "\x83\x7c" "ab";  // trail byte '|'
    EXPECT_TRUE(IsSafePathComponent(hyou, SjisLead));
    EXPECT_TRUE(IsSafePathComponent(bar, SjisLead));
    EXPECT_FALSE(IsSafePathComponent(hyou));  // in a single-byte code page it is a separator
    // A real separator after a two-byte character is still one.
    EXPECT_FALSE(IsSafePathComponent(hyou + "\\..", SjisLead));
    // A lead byte at the very end has no trail: the byte is judged on its own.
    EXPECT_TRUE(IsSafePathComponent("ab\x95", SjisLead));
}

TEST(DesktopId, DayCountSince1899TimesHundredThousand) {
    EXPECT_EQ(DesktopIdFromLocalTime({1899, 12, 30, 0, 0, 0, 0}), 0);
    EXPECT_EQ(DesktopIdFromLocalTime({1900, 1, 1, 0, 0, 0, 0}), 200000);
    EXPECT_EQ(DesktopIdFromLocalTime({2000, 3, 1, 0, 0, 0, 0}), 3658600000);  // after 29 Feb
    EXPECT_EQ(DesktopIdFromLocalTime({2024, 1, 1, 6, 0, 0, 0}), 4529225000);
    EXPECT_EQ(DesktopIdFromLocalTime({2024, 1, 1, 12, 0, 0, 0}), 4529250000);
    // The fraction is truncated, never rounded into the next day.
    EXPECT_EQ(DesktopIdFromLocalTime({2024, 1, 1, 23, 59, 59, 999}), 4529299999);
    // Each unit is 0.864 s: identifiers made a few seconds apart differ.
    EXPECT_LT(DesktopIdFromLocalTime({2024, 5, 17, 10, 0, 0, 0}),
              DesktopIdFromLocalTime({2024, 5, 17, 10, 0, 2, 0}));
}

TEST(StoredRecord, CopiesOnlyWhatWasStoredAndAppliesThePortRule) {
    TDesktopRecord record;
    std::memset(static_cast<void*>(&record), 0x5a, sizeof record);
    record.RDPPort = 0;
    const auto before = Image(record);

    // 100 bytes: only they change; the port was 0 and reads as 3389.
    std::string plain(100, '\x11');
    ApplyStoredRecord(record, plain);
    auto after = Image(record);
    for (std::size_t i = 0; i < 100; ++i) ASSERT_EQ(after[i], 0x11) << i;
    for (std::size_t i = 100; i < 4164; ++i) ASSERT_EQ(after[i], before[i]) << i;
    EXPECT_EQ(record.RDPPort, 3389);

    // More than a record: the record's size is copied and nothing beyond it.
    struct Guarded {
        TDesktopRecord record;
        std::uint8_t guard[64];
    } g;
    std::memset(static_cast<void*>(&g), 0, sizeof g);
    std::string longer(6000, '\x22');
    longer[4164] = 0x10;  // port 16, kept as stored
    longer[4165] = 0x00;
    ApplyStoredRecord(g.record, longer);
    EXPECT_EQ(g.record.RDPPort, 16);
    EXPECT_EQ(g.record.Padding[1], 0x22);
    for (std::uint8_t b : g.guard) ASSERT_EQ(b, 0);

    // Nothing stored: only the port rule.
    std::memset(static_cast<void*>(&record), 0x5a, sizeof record);
    record.RDPPort = 0;
    ApplyStoredRecord(record, "");
    EXPECT_EQ(record.RDPPort, 3389);
    EXPECT_EQ(record.Name.length, 0x5a);
}

TEST(StoredRecord, ResetGivesEveryDefaultAtItsOffset) {
    TDesktopRecord record;
    std::memset(static_cast<void*>(&record), 0xaa, sizeof record);
    DesktopDefaults defaults;
    defaults.id = 4529225000;
    defaults.displayMode = 3;
    defaults.wallpaper = ShortString::From("C:\\wall.bmp");
    ResetDesktopRecord(record, defaults);

    // The expected image, built from the stored layout alone.
    std::vector<std::uint8_t> want(4168, 0);
    PutLe(want, 0, 4529225000, 8);
    want[264] = 1;                       // Enabled
    PutLe(want, 1292, 3, 4);             // DisplayMode
    want[1296] = 1;
    want[1553] = 11;                     // Wallpaper
    std::memcpy(&want[1554], "C:\\wall.bmp", 11);
    PutLe(want, 1816, 0xffffffff, 4);
    want[1820] = 1;
    const std::size_t rdp = 2338, rfb = 3628;
    want[rdp + 1024] = 1;                // DefaultShell
    want[rdp + 1281] = 1;                // FullScreen
    PutLe(want, rdp + 1284, 2, 2);       // ColorDepth: 16 bits
    want[rdp + 1286] = want[rdp + 1287] = want[rdp + 1288] = 1;  // sound, drives, printers
    want[rfb + 512] = want[rfb + 513] = want[rfb + 515] = 1;     // full screen, pointer, resize
    want[rfb + 524] = want[rfb + 526] = want[rfb + 527] = want[rfb + 528] = 1;
    PutLe(want, rfb + 532, 7, 4);        // MenuKey F8
    PutLe(want, 4164, 3389, 2);          // RDPPort

    const auto got = Image(record);
    for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[i], want[i]) << "offset " << i;

    // Without a known display mode the field says so.
    defaults.displayMode = -1;
    ResetDesktopRecord(record, defaults);
    EXPECT_EQ(record.DisplayMode, -1);
}

}  // namespace
