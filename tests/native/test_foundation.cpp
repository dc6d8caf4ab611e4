// Portable pieces of the foundation: short strings, message texts, form layouts, the
// display mode list and the host's PNG writer.
#include <gtest/gtest.h>

#include <bitset>
#include <cstring>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "frame/stack_guard_mix.h"
#include "host/png.h"
#include "shared/display_modes.h"
#include "shared/error.h"
#include "shared/handle_value.h"
#include "shared/shortstr.h"
#include "ui/layout.h"

using namespace vexlo;

TEST(ShortString, CutsAt255AndRoundTripsThroughCallerBuffers) {
    const std::string longText(300, 'x');
    const ShortString s = ShortString::From(longText);
    EXPECT_EQ(s.length, 255);
    EXPECT_EQ(s.View(), std::string(255, 'x'));

    // A caller's buffer with a full 255-byte text, embedded zero bytes included.
    unsigned char raw[256];
    raw[0] = 255;
    for (int i = 1; i < 256; ++i) raw[i] = static_cast<unsigned char>(i % 7);
    const ShortString r = ShortString::Read(raw);
    ASSERT_EQ(r.length, 255);
    unsigned char back[257];
    std::memset(back, 0xEE, sizeof back);
    r.WriteTo(back);
    EXPECT_EQ(std::memcmp(raw, back, 256), 0);
    EXPECT_EQ(back[256], 0xEE) << "writes at most 256 bytes";

    EXPECT_EQ(ShortString::Read(nullptr).length, 0);
    // Only the bytes the length byte names are text: garbage after them is not read.
    unsigned char shortRaw[256] = {3, 'a', 'b', 'c', 'd', 'e'};
    EXPECT_EQ(ShortString::Read(shortRaw).Str(), "abc");
}

TEST(HandleValue, WidensWithItsSignAsTheSystemDoes) {
    EXPECT_EQ(vexlo::WidenHandleValue(0x00010036u), 0x00010036);
    EXPECT_EQ(vexlo::WidenHandleValue(0xFFFFFFFEu), -2);  // the 64-bit side's 0xFFFFFFFFFFFFFFFE
}

TEST(ErrorText, ValueTakesThePlaceholder) {
    EXPECT_EQ(FormatMessageText(kFailedToSetData, "LastUser"), "Failed to set data for 'LastUser'");
    EXPECT_EQ(FormatMessageText(kInvalidDataType, "Profile"), "Invalid data type for 'Profile'");
    // A value holding "%s" itself is taken literally.
    EXPECT_EQ(FormatMessageText("a %s b", "%s"), "a %s b");
    try {
        RaiseFormatted(kFailedToSetData, "X");
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'X'");
    }
    // Copies share the text and outlive the original; assignment lets go of the old text
    // (the sanitizers' leak check sees a lost or twice-freed text).
    auto copy = std::make_unique<Error>(Error("first"));
    Error second("second");
    {
        const Error original(std::string(300, 'x'));
        second = original;
        *copy = second;
    }
    EXPECT_EQ(std::string(copy->what()), std::string(300, 'x'));
    second = second;
    EXPECT_EQ(std::strlen(second.what()), 300u);
    EXPECT_STREQ(SystemError("Cannot open", 5).what(), "Cannot open");
}

namespace {
using ui::ControlDef;
using ui::Kind;

std::vector<std::string> Names(const ui::FormDef& def) {
    std::vector<std::string> out;
    for (int i : ui::CreationOrder(def)) out.push_back(def.controls[i].name);
    return out;
}
}  // namespace

TEST(FormLayout, CreationOrderFollowsTabOrderAndContainersWithEachLabelBeforeItsControl) {
    const ControlDef controls[] = {
        {.kind = Kind::Label, .id = 10, .name = "lTitle", .at = {0, 0, 10, 10}},
        {.kind = Kind::Button, .id = 11, .name = "btCancel", .at = {0, 0, 10, 10}, .tab = 3, .flags = ui::kCancel},
        {.kind = Kind::GroupBox, .id = 12, .name = "gbServer", .at = {0, 0, 10, 10}, .tab = 1},
        {.kind = Kind::Edit, .id = 13, .name = "eName", .at = {0, 0, 10, 10}, .tab = 0},
        {.kind = Kind::Button, .id = 14, .name = "btOk", .at = {0, 0, 10, 10}, .tab = 2, .flags = ui::kDefault},
        {.kind = Kind::Label, .id = 19, .name = "lPort", .at = {0, 0, 10, 10}, .parent = 12},
        {.kind = Kind::Edit, .id = 15, .name = "ePort", .at = {0, 0, 10, 10}, .tab = 1, .parent = 12},
        {.kind = Kind::Edit, .id = 16, .name = "eHost", .at = {0, 0, 10, 10}, .tab = 0, .parent = 12},
        {.kind = Kind::Label, .id = 17, .name = "lHost", .at = {0, 0, 10, 10}, .parent = 12},
        {.kind = Kind::Edit, .id = 18, .name = "eOrphan", .at = {0, 0, 10, 10}, .tab = 0, .parent = 99},
    };
    const ui::FormDef def{.className = "T", .clientWidth = 100, .clientHeight = 100, .controls = controls};
    // lPort names ePort; lTitle stands before a button and lHost before another holder's edit.
    const std::vector<std::string> expected = {"eName", "gbServer", "eHost", "lPort", "ePort", "lHost",
                                               "btOk", "btCancel", "lTitle"};
    EXPECT_EQ(Names(def), expected);
    EXPECT_EQ(ui::FindFlagged(def, ui::kDefault), 14);
    EXPECT_EQ(ui::FindFlagged(def, ui::kCancel), 11);
    EXPECT_EQ(ui::FindFlagged(def, ui::kPassword), 0);
}

TEST(FormLayout, CenteringStaysInsideTheArea) {
    const ui::Rect screen{0, 0, 1024, 768};
    const ui::Rect r = ui::CenterIn(screen, 417, 266);
    EXPECT_EQ(r.left, 303);
    EXPECT_EQ(r.top, 251);
    EXPECT_EQ(r.Width(), 417);
    // Larger than the area: the caption must stay reachable at the top-left.
    const ui::Rect big = ui::CenterIn({100, 50, 400, 300}, 800, 600);
    EXPECT_EQ(big.left, 100);
    EXPECT_EQ(big.top, 50);
}

TEST(DisplayModeList, KeepsUsableModesInOrderAndFindsTheCurrent) {
    const std::vector<DisplayMode> all = {
        {640, 480, 8, 60},   {639, 480, 32, 60}, {800, 600, 4, 60},  {800, 600, 32, 59},
        {1024, 768, 32, 75}, {800, 600, 16, 60}, {1024, 768, 32, 60}, {640, 479, 32, 60},
    };
    const std::vector<DisplayMode> kept = FilterDisplayModes(all);
    const std::vector<DisplayMode> expected = {
        {640, 480, 8, 60}, {1024, 768, 32, 75}, {800, 600, 16, 60}, {1024, 768, 32, 60}};
    EXPECT_EQ(kept, expected);
    EXPECT_EQ(IndexOfDisplayMode(kept, {1024, 768, 32, 60}), 3);
    EXPECT_EQ(IndexOfDisplayMode(kept, {1024, 768, 16, 60}), -1);
    // 0 and 1 Hz mean the hardware's default rate: kept, or some machines offer no size.
    const std::vector<DisplayMode> defaults = {{800, 600, 32, 0}, {800, 600, 32, 1}, {800, 600, 32, 2}};
    EXPECT_EQ(FilterDisplayModes(defaults), (std::vector<DisplayMode>{{800, 600, 32, 0}, {800, 600, 32, 1}}));
}

namespace {
// Reads back the stored-block zlib stream of a PNG written by the host.
std::vector<std::uint8_t> InflateStored(const std::vector<std::uint8_t>& z) {
    std::vector<std::uint8_t> out;
    size_t p = 2;
    for (;;) {
        const bool last = z.at(p) & 1;
        const size_t n = z.at(p + 1) | (z.at(p + 2) << 8);
        EXPECT_EQ((n ^ 0xFFFF), size_t(z.at(p + 3) | (z.at(p + 4) << 8)));
        out.insert(out.end(), z.begin() + p + 5, z.begin() + p + 5 + n);
        p += 5 + n;
        if (last) break;
    }
    return out;
}
std::uint32_t Be32(const std::vector<std::uint8_t>& b, size_t at) {
    return (b[at] << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}
}  // namespace

TEST(PngWriter, ChecksumsAndImageDataAreExact) {
    const std::uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(png::Crc32(digits, 9), 0xCBF43926u);
    const std::uint8_t wiki[] = {'W', 'i', 'k', 'i', 'p', 'e', 'd', 'i', 'a'};
    EXPECT_EQ(png::Adler32(wiki, 9), 0x11E60398u);

    // Large enough to need more than one stored block.
    const int w = 300, h = 100;
    std::vector<std::uint8_t> rgb(w * h * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 31);
    const auto file = png::Encode(w, h, rgb);
    ASSERT_GT(file.size(), 8u);
    EXPECT_EQ(std::memcmp(file.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    EXPECT_EQ(Be32(file, 16), 300u);
    EXPECT_EQ(Be32(file, 20), 100u);
    // IHDR's CRC covers type and data.
    EXPECT_EQ(Be32(file, 29), png::Crc32(file.data() + 12, 17));
    const size_t idatLen = Be32(file, 33);
    const std::vector<std::uint8_t> z(file.begin() + 41, file.begin() + 41 + idatLen);
    const auto raw = InflateStored(z);
    ASSERT_EQ(raw.size(), size_t(h) * (w * 3 + 1));
    EXPECT_EQ(Be32(z, z.size() - 4), png::Adler32(raw.data(), raw.size()));
    for (int y = 0; y < h; ++y) {
        EXPECT_EQ(raw[y * (w * 3 + 1)], 0);
        EXPECT_EQ(std::memcmp(&raw[y * (w * 3 + 1) + 1], &rgb[y * w * 3], w * 3), 0);
    }
    EXPECT_TRUE(png::Encode(0, 10, {}).empty());
    EXPECT_TRUE(png::Encode(2, 2, std::vector<std::uint8_t>(5)).empty());
}

// The canary from what load gathers: two processes started at the same moment, whose
// clocks and counters agree and whose ids differ in one bit, get canaries that differ in
// about half their bits, spread over the full width, never the fixed default.
TEST(StackGuard, MixedOverTheFullWidthAndApartForNeighbouringProcesses) {
    std::set<std::uintptr_t> seen;
    int topBitsSet = 0, closest = 64;
    for (std::uint64_t pid = 0x400; pid < 0x400 + 512; ++pid) {
        std::uint64_t words[] = {0x01DB5E1F00000000ull, pid, 123456, 987654321};
        const std::uintptr_t a = vexlo::runtime::MixStackGuard(words, 4);
        words[1] ^= 4;  // the neighbouring process id
        const std::uintptr_t b = vexlo::runtime::MixStackGuard(words, 4);
        EXPECT_NE(a, std::uintptr_t{0xBB40E64Eu});
        closest = std::min(closest, static_cast<int>(std::bitset<64>(a ^ b).count()));
        topBitsSet += (static_cast<std::uint64_t>(a) >> 48) != 0;
        seen.insert(a);
    }
    EXPECT_EQ(seen.size(), 512u);
    EXPECT_GE(closest, 12);
    if (sizeof(std::uintptr_t) == 8) EXPECT_GE(topBitsSet, 500);
}
