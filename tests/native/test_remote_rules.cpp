// Rules of the remote session dialogs and of the form pieces they use, without windows:
// the screen size list, the port box, OK, index ranges, record defaults and placement.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "remote/remote_rules.h"
#include "shared/remote_records.h"
#include "ui/layout.h"
#include "ui/spin_rules.h"

namespace {

using namespace vexlo;
using remote::BuildScreenSizes;

std::vector<std::string> Texts(const std::vector<remote::ScreenSize>& sizes) {
    std::vector<std::string> out;
    for (const auto& s : sizes) out.push_back(s.text);
    return out;
}

TEST(ScreenSizes, OneEntryPerSizeInOrderOfFirstAppearance) {
    const std::vector<DisplayMode> modes = {
        {800, 600, 8, 60},   {800, 600, 16, 60},  {1024, 768, 32, 75}, {800, 600, 32, 85},
        {640, 480, 32, 60},  {1024, 768, 16, 60}, {1280, 1024, 32, 60},
    };
    const auto sizes = BuildScreenSizes(modes);
    EXPECT_EQ(Texts(sizes), (std::vector<std::string>{"800 x 600", "1024 x 768", "640 x 480", "1280 x 1024"}));
    EXPECT_EQ(sizes[1].width, 1024);
    EXPECT_EQ(sizes[1].height, 768);
}

TEST(ScreenSizes, UnusableModesAreLeftOutEvenWhenTheyComeFirst) {
    // A size first seen in an unusable mode is listed where its first usable mode is.
    const std::vector<DisplayMode> modes = {
        {639, 480, 32, 60}, {640, 479, 32, 60}, {800, 600, 4, 60},  {800, 600, 32, 59},
        {320, 200, 8, 70},  {1024, 768, 8, 60}, {800, 600, 8, 60},
    };
    EXPECT_EQ(Texts(BuildScreenSizes(modes)), (std::vector<std::string>{"1024 x 768", "800 x 600"}));
    EXPECT_TRUE(BuildScreenSizes({}).empty());
}

TEST(ScreenSizes, SizesCompareAsSixteenBitValues) {
    // 66176 and 640 agree in their low 16 bits: the second is a duplicate of the first.
    const std::vector<DisplayMode> modes = {{66176, 480, 32, 60}, {640, 480, 32, 60}};
    const auto sizes = BuildScreenSizes(modes);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].text, "66176 x 480");
    EXPECT_EQ(sizes[0].width, 640);
}

TEST(PortBox, TypedValueModulo65536AndNonNumbersCountZero) {
    EXPECT_EQ(remote::PortFromText("3389"), 3389);
    EXPECT_EQ(remote::PortFromText("+80"), 80);
    EXPECT_EQ(remote::PortFromText("65535"), 65535);
    EXPECT_EQ(remote::PortFromText("65536"), 0);
    EXPECT_EQ(remote::PortFromText("70000"), 70000 - 65536);
    EXPECT_EQ(remote::PortFromText("99999999999999999999"), 65535);  // exact, however long
    EXPECT_EQ(remote::PortFromText("-1"), 65535);
    for (const char* text : {"", "-", "+", "1.5", "12a", " 1", "1 ", "$FF", "--1"})
        EXPECT_EQ(remote::PortFromText(text), 0) << text;
}

TEST(SpinEdit, TypingAcceptsDigitsSignsSeparatorAndEditingKeys) {
    for (char c : std::string("0123456789+-,")) EXPECT_TRUE(ui::IsSpinChar(c, ',')) << c;
    EXPECT_FALSE(ui::IsSpinChar('.', ','));
    EXPECT_TRUE(ui::IsSpinChar('.', '.'));
    for (char c : std::string("aZ $e ")) EXPECT_FALSE(ui::IsSpinChar(c, '.')) << c;
    EXPECT_TRUE(ui::IsSpinChar('\b', '.'));    // backspace
    EXPECT_TRUE(ui::IsSpinChar('\x16', '.'));  // Ctrl+V
    EXPECT_FALSE(ui::IsSpinChar('\r', '.'));   // Enter belongs to the dialog
}

TEST(SpinEdit, ArrowsStepWithinTheRange) {
    EXPECT_EQ(ui::SpinStep("3389", 1, 0, 65535), "3390");
    EXPECT_EQ(ui::SpinStep("3389", -1, 0, 65535), "3388");
    EXPECT_EQ(ui::SpinStep("65535", 1, 0, 65535), "65535");
    EXPECT_EQ(ui::SpinStep("0", -1, 0, 65535), "0");
    EXPECT_EQ(ui::SpinStep("70000", 1, 0, 65535), "65535");
    EXPECT_EQ(ui::SpinStep("abc", 1, 0, 65535), "1");
    EXPECT_EQ(ui::SpinStep("-9", 1, 0, 65535), "0");
}

TEST(SpinEdit, LeavingTheBoxClampsAndShowsWhatNonNumbersCountAs) {
    std::string changed;
    EXPECT_TRUE(ui::SpinTextOnExit("70000", 0, 65535, changed));
    EXPECT_EQ(changed, "65535");
    EXPECT_TRUE(ui::SpinTextOnExit("123456789012345678901234", 0, 65535, changed));
    EXPECT_EQ(changed, "65535");
    EXPECT_TRUE(ui::SpinTextOnExit("-5", 0, 65535, changed));
    EXPECT_EQ(changed, "0");
    EXPECT_TRUE(ui::SpinTextOnExit("", 0, 65535, changed));
    EXPECT_EQ(changed, "0");
    EXPECT_TRUE(ui::SpinTextOnExit("1.5", 0, 65535, changed));
    EXPECT_EQ(changed, "0");
    // In range: kept as typed, sign and leading zeros included.
    for (const char* kept : {"0", "65535", "+80", "0080"}) EXPECT_FALSE(ui::SpinTextOnExit(kept, 0, 65535, changed)) << kept;
}

TEST(OkButton, RdpNeedsServerSizeAndDepthRfbOnlyServer) {
    EXPECT_TRUE(remote::RdpOkEnabled("host", 0, 0));
    EXPECT_FALSE(remote::RdpOkEnabled("", 0, 0));
    EXPECT_FALSE(remote::RdpOkEnabled("host", -1, 2));
    EXPECT_FALSE(remote::RdpOkEnabled("host", 3, -1));
    EXPECT_TRUE(remote::RfbOkEnabled(" "));
    EXPECT_FALSE(remote::RfbOkEnabled(""));
}

TEST(Indexes, ListSelectionsAndRadioRanges) {
    EXPECT_EQ(remote::SelectionFor(0, 4), 0);
    EXPECT_EQ(remote::SelectionFor(3, 4), 3);
    EXPECT_EQ(remote::SelectionFor(4, 4), -1);
    EXPECT_EQ(remote::SelectionFor(65535, 4), -1);
    EXPECT_EQ(remote::SelectionFor(-1, 11), -1);
    EXPECT_EQ(remote::SelectionFor(20, remote::kMenuKeyCount), -1);
    EXPECT_EQ(remote::SelectionFor(0, 0), -1);
    EXPECT_EQ(remote::SelectionField16(-1), 65535);
    EXPECT_EQ(remote::SelectionField16(5), 5);

    EXPECT_EQ(ui::RadioIndexInRange(7, 3), 2);
    EXPECT_EQ(ui::RadioIndexInRange(-1, 3), -1);
    EXPECT_EQ(ui::RadioIndexInRange(-2147483647LL - 1, 3), -1);
    EXPECT_EQ(ui::RadioIndexInRange(2147483647, 4), 3);
    EXPECT_EQ(ui::RadioIndexInRange(1, 3), 1);
}

TEST(Records, AssignShortKeepsTheTailAndCutsAt255) {
    ShortString s;
    std::memset(&s, 'x', sizeof s);
    remote::AssignShort(s, "abc");
    EXPECT_EQ(s.length, 3);
    EXPECT_EQ(s.View(), "abc");
    EXPECT_EQ(s.text[3], 'x');  // the bytes beyond the text go back as they came
    remote::AssignShort(s, std::string(300, 'q'));
    EXPECT_EQ(s.length, 255);
    EXPECT_EQ(s.Str(), std::string(255, 'q'));
}

TEST(Records, DefaultsOfFreshRecords) {
    TRDPSettings rdp;
    std::memset(&rdp, 0xAB, sizeof rdp);
    ResetRDPSettings(rdp);
    const auto* r = reinterpret_cast<const std::uint8_t*>(&rdp);
    // Every string empty and zero-filled; the non-zero defaults at their offsets.
    for (std::size_t i = 0; i < 1024; ++i) EXPECT_EQ(r[i], 0) << i;
    EXPECT_EQ(r[1024], 1);
    for (std::size_t i = 1025; i < 1281; ++i) EXPECT_EQ(r[i], 0) << i;
    const std::uint8_t tail[] = {1, 0, 0, 2, 0, 1, 1, 1, 0};  // 1281..1289
    EXPECT_EQ(std::memcmp(r + 1281, tail, sizeof tail), 0);

    TRFBSettings rfb;
    std::memset(&rfb, 0xAB, sizeof rfb);
    ResetRFBSettings(rfb);
    const auto* f = reinterpret_cast<const std::uint8_t*>(&rfb);
    for (std::size_t i = 0; i < 512; ++i) EXPECT_EQ(f[i], 0) << i;
    const std::uint8_t rest[] = {1, 1, 0, 1,  0, 0, 0, 0,  0, 0, 0, 0,  1, 0, 1, 1,
                                 1, 0, 0, 0,  7, 0, 0, 0};  // 512..535
    EXPECT_EQ(std::memcmp(f + 512, rest, sizeof rest), 0);
}

TEST(Layout, PlacementThroughGroupsStopsAtPages) {
    using namespace ui;
    const ControlDef controls[] = {
        {.kind = Kind::GroupBox, .id = 1, .name = "g", .at = {8, 240, 305, 137}, .tab = 0},
        {.kind = Kind::ComboList, .id = 2, .name = "c", .at = {8, 64, 289, 22}, .tab = 0, .parent = 1},
        {.kind = Kind::PageControl, .id = 3, .name = "p", .at = {8, 96, 305, 209}, .tab = 1},
        {.kind = Kind::Page, .id = 4, .name = "t", .at = {0, 0, 0, 0}, .text = "Inputs", .tab = 0, .parent = 3},
        {.kind = Kind::GroupBox, .id = 5, .name = "g2", .at = {10, 20, 100, 100}, .tab = 0, .parent = 4},
        {.kind = Kind::CheckBox, .id = 6, .name = "b", .at = {8, 16, 50, 17}, .tab = 0, .parent = 5},
        {.kind = Kind::CheckBox, .id = 7, .name = "loop", .at = {1, 2, 3, 4}, .tab = 0, .parent = 8},
        {.kind = Kind::GroupBox, .id = 8, .name = "loopbox", .at = {5, 5, 3, 4}, .tab = 0, .parent = 7},
    };
    const FormDef def{.className = "T", .clientWidth = 100, .clientHeight = 100, .controls = controls};
    const Placement combo = PlaceOf(def, controls[1]);
    EXPECT_EQ(combo.holder, 0);
    EXPECT_EQ(combo.left, 16);
    EXPECT_EQ(combo.top, 304);
    const Placement box = PlaceOf(def, controls[5]);
    EXPECT_EQ(box.holder, 4);
    EXPECT_EQ(box.left, 18);
    EXPECT_EQ(box.top, 36);
    PlaceOf(def, controls[6]);  // a table whose parents loop still gives an answer
}

TEST(Layout, RadioItemsShareTheGroupsHeightBelowTheCaption) {
    using ui::RadioItemRect;
    // 113 x 81 with three items and 13-pixel text: items 21 high from 14 down.
    for (int i = 0; i < 3; ++i) {
        const ui::Rect r = RadioItemRect(113, 81, 3, i, 13);
        EXPECT_EQ(r.left, 8);
        EXPECT_EQ(r.top, 14 + 21 * i);
        EXPECT_EQ(r.Width(), 103);
        EXPECT_EQ(r.Height(), 21);
    }
    // 105 high with four items: the odd pixels are shared out above the first item.
    EXPECT_EQ(RadioItemRect(161, 105, 4, 0, 13).top, 15);
    EXPECT_EQ(RadioItemRect(161, 105, 4, 3, 13).bottom, 15 + 4 * 21);
    EXPECT_EQ(RadioItemRect(10, 10, 0, 0, 13).Width(), 0);
    EXPECT_EQ(ui::SplitItems("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(ui::SplitItems(nullptr).empty());
}

}  // namespace
