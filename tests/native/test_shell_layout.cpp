// TvxList, the icon layout file and the desktop menu rules.
// The expected file texts below are what Wine 8 wrote for the same values written one
// WritePrivateProfileStringA call at a time, and what its GetPrivateProfileStringA read back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "shared/error.h"
#include "shared/records.h"
#include "shared/vxList.h"
#include "shell/desktop_menu_rules.h"
#include "shell/icon_layout.h"
#include "tests/native/literal_icon_layout.h"

namespace vexlo::shell {
void PrintTo(const IconPosition& p, std::ostream* os) { *os << '(' << p.x << ", " << p.y << ')'; }
}  // namespace vexlo::shell

namespace {

using namespace vexlo;
using namespace vexlo::shell;
using Targets = std::vector<std::optional<IconPosition>>;

template <std::size_t N>
std::string Bytes(const char (&text)[N]) {  // a literal with its inner zero bytes
    return std::string(text, N - 1);
}

std::string Section(std::initializer_list<std::string> lines) {
    std::string s;
    for (const auto& l : lines) s += l + '\0';
    return s + '\0';
}

std::string ErrorOf(TvxList& list, std::int32_t index) {
    try {
        list.DeleteItem(index);
    } catch (const Error& e) {
        return e.what();
    }
    return "no error";
}

TEST(VxList, OwnsBlocksAllowsNullsAndRefusesBadIndexes) {
    TvxList list(4168);
    EXPECT_EQ(list.ItemSize(), 4168);
    auto* a = static_cast<char*>(list.NewItem());
    EXPECT_EQ(list.AddNull(), 1);
    auto* c = static_cast<char*>(list.NewItem());
    std::memset(a, 1, 4168);  // the whole block is ours (ASan would object otherwise)
    std::memset(c, 2, 4168);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Item(1), nullptr);

    EXPECT_EQ(ErrorOf(list, 3), "List index out of bounds (3)");
    EXPECT_EQ(ErrorOf(list, -1), "List index out of bounds (-1)");
    EXPECT_THROW(list.Item(3), Error);
    EXPECT_EQ(list.Count(), 3);

    list.DeleteItem(1);  // a null entry goes without freeing anything
    list.DeleteItem(0);  // later entries move down
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Item(0), c);

    list.AddNull();
    list.NewItem();
    TvxList moved(std::move(list));
    EXPECT_EQ(list.Count(), 0);
    moved.Clear();  // frees the blocks, skips the null (LeakSanitizer checks the rest)
    EXPECT_EQ(moved.Count(), 0);
    EXPECT_EQ(ErrorOf(moved, 0), "List index out of bounds (0)");

    TvxList empty(0);
    EXPECT_NE(empty.NewItem(), nullptr);  // destroyed with its block
}

TEST(LayoutSave, OneSectionWriteHoldsWhatTheLiteralWritesLeave) {
    EXPECT_EQ(SectionBlock(SaveValues({}), 1), Bytes("Items=0\0\0"));
    EXPECT_EQ(LayoutFileText("Lay", SaveValues({})), "[Lay]\r\nItems=0\r\n");

    const std::vector<LayoutIcon> icons = {
        {"Plain", {0, 0}}, {" lead", {10, -1}}, {"trail ", {20, -2}}, {"'q'", {30, -3}},
        {"\"dq\"", {40, -4}}, {"a=b", {50, -5}}, {"", {60, -6}}, {";semi", {70, -7}}, {"[br]", {80, -8}}};
    const auto values = SaveValues(icons);
    ASSERT_EQ(values.size(), 28u);
    EXPECT_EQ(SectionWritablePrefix(values), values.size());
    EXPECT_EQ(values[4].key, "ItemCaption1");
    EXPECT_EQ(values[4].value, " lead");  // as passed to the per-value write
    EXPECT_EQ(LayoutFileText("Lay", values),
              "[Lay]\r\nItems=9\r\n"
              "ItemCaption0=Plain\r\nItemX0=0\r\nItemY0=0\r\n"
              "ItemCaption1=lead\r\nItemX1=10\r\nItemY1=-1\r\n"
              "ItemCaption2=trail\r\nItemX2=20\r\nItemY2=-2\r\n"
              "ItemCaption3='q'\r\nItemX3=30\r\nItemY3=-3\r\n"
              "ItemCaption4=\"dq\"\r\nItemX4=40\r\nItemY4=-4\r\n"
              "ItemCaption5=a=b\r\nItemX5=50\r\nItemY5=-5\r\n"
              "ItemCaption6=\r\nItemX6=60\r\nItemY6=-6\r\n"
              "ItemCaption7=;semi\r\nItemX7=70\r\nItemY7=-7\r\n"
              "ItemCaption8=[br]\r\nItemX8=80\r\nItemY8=-8\r\n");
    const std::string block = SectionBlock(values, values.size());
    const std::string head = Bytes("Items=9\0ItemCaption0=Plain\0ItemX0=0\0ItemY0=0\0ItemCaption1=lead\0");
    EXPECT_EQ(block.substr(0, head.size()), head);
    EXPECT_EQ(block.substr(block.size() - 11), Bytes("ItemY8=-8\0\0"));

    // A line break inside a caption (Wine ends lines at CR too) makes the literal writes'
    // file unreachable by one section write: from that caption on, values go one at a time.
    // At either end, CR and LF are blanks the file drops; a caption ends at a zero byte.
    const auto broken = SaveValues({{"ok\r\n", {1, 1}}, {"two\rlines", {2, 2}}});
    EXPECT_EQ(SectionWritablePrefix(broken), 4u);
    EXPECT_EQ(SectionWritablePrefix(SaveValues({{"a", {}}, {"b", {}}, {"two\nlines", {}}})), 7u);
    EXPECT_EQ(SaveValues({{std::string("cut\0here", 8), {}}})[1].value, "cut");
    EXPECT_EQ(SectionBlock(broken, 4), Bytes("Items=2\0ItemCaption0=ok\0ItemX0=1\0ItemY0=1\0\0"));
}

TEST(LayoutSave, ReadingBackGivesEveryIconItsPlaceAndSharedCaptionsTheLast) {
    std::mt19937 rng(7);
    std::vector<LayoutIcon> icons;
    std::vector<std::string> captions;
    for (int i = 0; i < 300; ++i) {
        icons.push_back({"Icon " + std::to_string(i), {int(rng() % 3000) - 100, int(rng() % 2000)}});
        captions.push_back(icons.back().caption);
    }
    icons.push_back({"Same", {5, 6}});  // entries 300 and 301 share a caption
    icons.push_back({"Same", {7, 8}});
    captions.insert(captions.end(), {"Same", "Same", "Added later"});

    const auto values = SaveValues(icons);
    const SavedLayout layout = ParseLayoutSection(SectionBlock(values, values.size()));
    EXPECT_EQ(layout.items, 302);
    const Targets targets = RestoredPositions(layout, captions);
    for (int i = 0; i < 300; ++i) EXPECT_EQ(targets[i], icons[i].position) << i;
    EXPECT_EQ(targets[300], (IconPosition{7, 8}));
    EXPECT_EQ(targets[301], (IconPosition{7, 8}));
    EXPECT_FALSE(targets[302]);
    EXPECT_EQ(PackItemPosition({-2, 5}), 0x0005FFFEu);
}

TEST(LayoutRestore, ReadsValuesAsTheProfileFunctionsDo) {
    EXPECT_EQ(ReadProfileString("'q'"), "q");
    EXPECT_EQ(ReadProfileString("\"\""), "");
    EXPECT_EQ(ReadProfileString("\"x"), "\"x");
    EXPECT_EQ(ReadProfileString("\" x \""), " x ");
    // Cut to 254 bytes; Wine drops one more of a quoted text whose rest is exactly 255.
    EXPECT_EQ(ReadProfileString('"' + std::string(253, 'a') + '"').size(), 253u);
    EXPECT_EQ(ReadProfileString('"' + std::string(254, 'a') + '"').size(), 253u);
    EXPECT_EQ(ReadProfileString('"' + std::string(300, 'a') + '"').size(), 254u);
    EXPECT_EQ(ReadProfileString(std::string(1000, 'c')), std::string(254, 'c'));

    struct Case { const char* text; std::optional<std::int32_t> value; };
    for (const Case& c : std::initializer_list<Case>{
             {"12", 12}, {"-7", -7}, {"+7", 7}, {"  3", 3}, {"$10", 16}, {"0x1f", 31}, {"0X1F", 31},
             {"-$10", -16}, {"$FFFFFFFF", -1}, {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
             {"2147483648", {}}, {"$100000000", {}}, {"", {}}, {"-", {}}, {"$", {}}, {"0x", {}},
             {"12a", {}}, {"1 2", {}}, {"3 ", {}}, {"x10", {}}, {"abc", {}}, {"0010", 10}}) {
        EXPECT_EQ(ParseIniInteger(c.text), c.value) << c.text;
    }
}

TEST(LayoutRestore, BadlyEditedFilesMoveIconsOnlyToPositionsTheyHold) {
    const std::string longCaption(1000, 'L');
    const std::string section = Section({
        "Items=99",                                             // more than present
        "ItemCaption0=A", "ItemX0=1", "ItemY0=2",
        "itemcaption1=B", "ITEMX1=$10", "ItemY1=\"17\"",        // keys ignore case; hex; quotes
        "ItemCaption2=C", "ItemX2=3",                           // no Y
        "ItemCaption3=D", "ItemX3=abc", "ItemY3=4",             // not a number
        "ItemCaption4=E", "ItemX4=70000", "ItemY4=1",           // LVM_SETITEMPOSITION can't
        "ItemCaption5=F", "ItemX5=-1", "ItemY5=-1",             // the list view's sentinel
        "ItemCaption6=" + longCaption, "ItemX6=9", "ItemY6=9",  // read as 254 bytes
        "ItemX7=11", "ItemY7=12",                               // no caption: empty text
        "ItemCaption8", "ItemCaption8=G", "ItemX8=5", "ItemY8=5",  // first key has no "=": empty
        "ItemCaption9=H", "ItemX9=1", "ItemX9=100", "ItemY9=2",    // first key wins
        "ItemCaption010=I", "ItemX010=1", "ItemY010=1",           // not the key "ItemCaption10"
        "ItemCaption120=A", "ItemX120=50", "ItemY120=60",         // beyond Items: never read
    });
    const std::vector<std::string> captions = {"A", "B", "C", "D", "E", "F", std::string(254, 'L'),
                                               "", "G", "", "H", "I"};
    const Targets targets = RestoredPositions(ParseLayoutSection(section), captions);
    const Targets expected = {IconPosition{1, 2}, IconPosition{16, 17}, {}, {}, {}, {},
                              IconPosition{9, 9}, IconPosition{5, 5}, {}, IconPosition{5, 5},
                              IconPosition{1, 2}, {}};
    EXPECT_EQ(targets, expected);
    EXPECT_EQ(literal::Restore(section, captions), expected);

    for (const std::string& s : {std::string(), std::string("\0\0", 2), Section({"Items=-3", "ItemX0=1"}),
                                 Section({"Items=junk", "ItemCaption0=A", "ItemX0=1", "ItemY0=1"}),
                                 Bytes("Items=1\0ItemCaption0=A\0ItemX0=1\0ItemY0=2")}) {
        EXPECT_EQ(RestoredPositions(ParseLayoutSection(s), {"A"}), literal::Restore(s, {"A"}));
    }
    EXPECT_EQ(RestoredPositions(ParseLayoutSection(Bytes("Items=1\0ItemCaption0=A\0ItemX0=1\0ItemY0=2")), {"A"}),
              (Targets{IconPosition{1, 2}}));  // no closing zero bytes
}

TEST(LayoutRestore, LinearRestoreEqualsTheLiteralOneOnRandomFiles) {
    std::mt19937 rng(20240611);
    const std::vector<std::string> pool = {"", "A", "a", "B", " B", "'C'", "C", "\"D\"", "D", "x=y",
                                           std::string(254, 'Z'), std::string(300, 'Z')};
    const std::vector<std::string> keyCase = {"ItemCaption", "itemcaption", "ITEMCAPTION"};
    const std::vector<std::string> numbers = {"0", "5", "-3", "$1F", "0x20", "\"7\"", "junk", "", "70000",
                                              "-1", "32767", "-32768", " 8", "9 "};
    const std::vector<std::string> counts = {"0", "-3", "$1F", "0x20", "\"7\"", "junk", "", " 8", "9 "};
    auto pick = [&](const auto& v) { return v[rng() % v.size()]; };
    for (int round = 0; round < 1500; ++round) {
        std::vector<std::string> lines;
        const int entries = int(rng() % 25);
        if (rng() % 8) lines.push_back("Items=" + std::to_string(int(rng() % 30) - 2));
        for (int e = 0; e < entries; ++e) {
            const std::string n = (rng() % 20) ? std::to_string(rng() % 28) : "0" + std::to_string(rng() % 5);
            if (rng() % 6) lines.push_back(pick(keyCase) + n + "=" + pick(pool));
            if (rng() % 6) lines.push_back("ItemX" + n + "=" + ((rng() % 3) ? std::to_string(rng() % 900) : pick(numbers)));
            if (rng() % 6) lines.push_back("ItemY" + n + ((rng() % 15) ? "=" + std::to_string(rng() % 900) : std::string()));
            if (rng() % 10 == 0) lines.push_back("Items=" + pick(counts));
        }
        std::shuffle(lines.begin(), lines.end(), rng);
        std::string section;
        for (const auto& l : lines) section += l + '\0';
        section += '\0';
        std::vector<std::string> captions;
        for (int i = int(rng() % 12); i > 0; --i) {
            captions.push_back(rng() % 4 ? ReadProfileString(pick(pool)) : pick(pool));
        }
        ASSERT_EQ(RestoredPositions(ParseLayoutSection(section), captions), literal::Restore(section, captions))
            << "round " << round;
    }
}

TEST(DesktopMenu, ItemsStatesAndIdentifiersFollowTheSettings) {
    TDesktopRecord record{};
    record.Id = 1;
    record.Name = ShortString::From("Main");
    record.Enabled = 0x80;  // any non-zero byte enables
    const MenuDesktop main = MenuDesktopOf(record);
    EXPECT_TRUE(main.enabled);
    EXPECT_EQ(main.objectName, "Default");
    EXPECT_EQ(main.name, "Main");

    const std::vector<MenuDesktop> desktops = {
        main, {false, "Off", "Vexlo_5"}, {true, "Work", "Vexlo_7"}, {true, "Play", "Vexlo_9"}};
    const auto onWork = DesktopMenuItems(BuildSwitchList(desktops, "Vexlo_7"), "Vexlo_7");
    ASSERT_EQ(onWork.size(), 3u);
    EXPECT_EQ(onWork[0].kind, MenuItemKind::Separator);
    EXPECT_EQ(onWork[1].kind, MenuItemKind::Command);
    EXPECT_EQ(onWork[1].id, 999u);
    EXPECT_EQ(onWork[1].text, "Quillmere Settings");
    EXPECT_TRUE(onWork[1].grayed && onWork[1].checked && onWork[1].menuBitmap);
    EXPECT_EQ(onWork[2].kind, MenuItemKind::Submenu);
    EXPECT_EQ(onWork[2].text, "Switch desktop");
    EXPECT_TRUE(onWork[2].checked && onWork[2].menuBitmap && !onWork[2].grayed);

    const auto& sub = onWork[2].submenu;  // the disabled index 1 leaves a gap
    ASSERT_EQ(sub.size(), 3u);
    const std::uint32_t ids[] = {1000, 1002, 1003};
    const char* names[] = {"Main", "Work", "Play"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sub[i].id, ids[i]);
        EXPECT_EQ(sub[i].text, names[i]);
        EXPECT_EQ(sub[i].checked, i == 1);
        EXPECT_EQ(sub[i].grayed, i == 1);
        EXPECT_FALSE(sub[i].menuBitmap);
    }

    const auto onDefault = DesktopMenuItems(BuildSwitchList(desktops, "Default"), "Default");
    EXPECT_FALSE(onDefault[1].grayed);
    EXPECT_TRUE(onDefault[2].submenu[0].checked);
    EXPECT_TRUE(DesktopMenuItems({}, "default")[1].grayed);  // exact comparison
}

TEST(MenuChoice, OnlyALeftClickOnAnItemFrom999To19999Posts) {
    MenuChoiceTracker t;
    const std::uintptr_t menu = 0x1234;
    t.OnMenuSelect(0x809003EA, menu);  // 1002, flags in the high word
    t.OnLeftButtonUp();
    EXPECT_EQ(t.OnMenuSelect(0xFFFF0000, 0), (MenuCommand{0x405, 1002, 0}));
    EXPECT_EQ(t.OnMenuSelect(0xFFFF0000, 0), (MenuCommand{0x405, 1002, 0}));  // not cleared

    t.OnMenuSelect(999, menu);  // chosen with Enter: no button release since the selection
    EXPECT_FALSE(t.OnMenuSelect(0, 0));

    for (std::uintptr_t item : {998u, 20000u, 3u}) {
        t.OnMenuSelect(item, menu);
        t.OnLeftButtonUp();
        EXPECT_FALSE(t.OnMenuSelect(0, 0)) << item;
    }
    t.OnMenuSelect(19999, menu);
    t.OnLeftButtonUp();
    EXPECT_EQ(t.OnMenuSelect(0, 0)->wParam, 19999u);  // any item of Explorer's in range
}

}  // namespace
