// Rules of the message box, Run As, the two context-menu extensions and their
// registration, and the hook helper's records, that need no Win32.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dialogs/runas_rules.h"
#include "shared/hook_channel.h"
#include "shared/message_rules.h"
#include "shell/context_rules.h"
#include "shell/registration_table.h"

namespace {

using namespace vexlo;
using std::string_view;
using std::u16string_view;

// ---- Message dialogs ----

TEST(MessageDialog, KindGivesCaptionAndIcon) {
    struct Case {
        std::uint32_t kind;
        const char* caption;
        std::uint32_t icon;
    };
    const Case cases[] = {{0, "Warning", 0x30},        {1, "Error", 0x10}, {2, "Information", 0x40},
                          {3, "Confirm", 0x20},        {4, "", 0},         {200, "", 0},
                          {0x102, "Information", 0x40}};  // only the low byte counts
    for (const Case& c : cases) {
        const MessageBoxRequest r = MessageDialogRequest(c.kind, msgbtn::kOk);
        EXPECT_STREQ(r.caption, c.caption) << c.kind;
        EXPECT_EQ(r.style, 0x50000u | c.icon) << c.kind;
    }
    // Run As's own call: information, {OK}.
    EXPECT_EQ(MessageDialogRequest(2, msgbtn::kOk).style, 0x50040u);
}

TEST(MessageDialog, FirstMatchingButtonLayoutWins) {
    using namespace msgbtn;
    struct Case {
        std::uint32_t buttons;
        std::uint32_t layout;
    };
    const Case cases[] = {
        {kOk | kCancel, 1},
        {kOk, 0},
        {kYes | kNo | kCancel, 3},
        {kYes | kNo, 4},
        {kRetry | kCancel, 5},
        {kYes | kNo | kOk, 0},
        {kAbort | kRetry | kIgnore, 0},
        {kRetry, 0},
        {kCancel, 0},
        {0, 0},
        {kYes | kNo | kOk | kCancel, 1},
        {kHelp | kYes | kNo, 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageDialogRequest(4, c.buttons).style & 0xF, c.layout) << c.buttons;
    for (int a : {-1, 0, 8, 11}) EXPECT_EQ(MessageDialogResult(a), 0) << a;
    for (int a = 1; a <= 7; ++a) EXPECT_EQ(MessageDialogResult(a), a);
}

// ---- Run As ----

TEST(RunAs, CommandLineQuotesThePathAndKeepsTheBlank) {
    EXPECT_EQ(RunAsCommandLine("C:\\Program Files\\App\\a.exe", "-x \"y z\""),
              "\"C:\\Program Files\\App\\a.exe\" -x \"y z\"");
    EXPECT_EQ(RunAsCommandLine("C:\\a.exe", ""), "\"C:\\a.exe\" ");
    EXPECT_EQ(RunAsCommandLine("\"C:\\a.exe\"", "p"), "\"\"C:\\a.exe\"\" p");  // unchanged
    EXPECT_EQ(RunAsCommandLine("", ""), "\"\" ");

    const LaunchRequest r = MakeLaunchRequest({"C:\\a b.exe", "-v", "DOM", "bob", "pw"});
    EXPECT_EQ(r.application, "C:\\a b.exe");
    EXPECT_EQ(r.commandLine, "\"C:\\a b.exe\" -v");
    EXPECT_EQ(r.user, "bob");
    EXPECT_EQ(r.password, "pw");
    EXPECT_EQ(r.domain, "DOM");
}

TEST(RunAs, FailureTextLosesTrailingBlanksBreaksAndStops) {
    EXPECT_EQ(TrimSystemMessage("The user name or password is incorrect.\r\n"),
              "The user name or password is incorrect");
    EXPECT_EQ(TrimSystemMessage("A. b. . \n.\r\n  "), "A. b");
    EXPECT_EQ(TrimSystemMessage(" .\r\n"), "");
    EXPECT_EQ(TrimSystemMessage("keep\ttab\t"), "keep\ttab\t");
}

TEST(RunAs, GateAdmitsOneOwnerAndTakesOverFromTheDead) {
    using W = RunAsMutexWait;
    using G = RunAsGate;
    EXPECT_EQ(DecideRunAsGate(W::Acquired, false), G::Open);
    EXPECT_EQ(DecideRunAsGate(W::Abandoned, false), G::Open);  // the holder died: stale flag
    EXPECT_EQ(DecideRunAsGate(W::Abandoned, true), G::Open);
    EXPECT_EQ(DecideRunAsGate(W::HeldElsewhere, false), G::Refuse);
    EXPECT_EQ(DecideRunAsGate(W::HeldElsewhere, true), G::Refuse);
    // Re-entered on the owning thread: the recursive acquisition is given back.
    EXPECT_EQ(DecideRunAsGate(W::Acquired, true), G::RefuseAndRelease);
    EXPECT_EQ(DecideRunAsGate(W::Unavailable, false), G::OpenIfFlagClaimed);
    EXPECT_EQ(DecideRunAsGate(W::Unavailable, true), G::Refuse);
    EXPECT_STRNE(kRunAsMutexName, "KeyVexloRA");  // one namespace for mutexes and mappings
}

// ---- Context-menu verbs and GetCommandString ----

TEST(CommandString, HelpTextForOffsetZeroNoVerbs) {
    char buf[64];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(AnswerCommandString(0, kGcsHelpTextA, kIconManagerHelpText, buf, sizeof buf),
              hr::kOk);
    EXPECT_STREQ(buf, "Manage Your icons on desktops");
    EXPECT_EQ(std::strlen(kIconManagerHelpText) + 1, 30u);
    EXPECT_EQ(std::strlen(kRunAsHelpText) + 1, 37u);

    std::memset(buf, '#', sizeof buf);
    for (std::uint32_t type : {kGcsValidateA, kGcsValidateW})
        EXPECT_EQ(AnswerCommandString(0, type, kRunAsHelpText, buf, sizeof buf), hr::kOk);
    // No verb: a failure, so the caller never reads an unwritten buffer as one.
    for (std::uint32_t type : {kGcsVerbA, kGcsVerbW})
        EXPECT_EQ(AnswerCommandString(0, type, kRunAsHelpText, buf, sizeof buf), hr::kNotImpl);
    EXPECT_EQ(AnswerCommandString(0, 7, kRunAsHelpText, buf, sizeof buf), hr::kInvalidArg);
    for (std::uintptr_t offset : {1u, 2u, 0x10000u})
        EXPECT_EQ(AnswerCommandString(offset, kGcsHelpTextA, kRunAsHelpText, buf, sizeof buf),
                  hr::kInvalidArg);
    EXPECT_EQ(buf[0], '#');  // nothing was written by any of these

    char16_t wide[40];
    EXPECT_EQ(AnswerCommandString(0, kGcsHelpTextW, kRunAsHelpText, reinterpret_cast<char*>(wide), 40), hr::kOk);
    EXPECT_EQ(std::u16string(wide), std::u16string(kRunAsHelpText, kRunAsHelpText + std::strlen(kRunAsHelpText)));
}

TEST(CommandString, ShortBuffersAreCutNeverOverrun) {
    for (std::uint32_t size : {0u, 1u, 5u, 29u, 30u, 31u}) {
        char buf[40];
        std::memset(buf, '#', sizeof buf);
        AnswerCommandString(0, kGcsHelpTextA, kIconManagerHelpText, buf, size);
        const std::string expect = std::string(kIconManagerHelpText).substr(0, size ? size - 1 : 0);
        if (size > 0) EXPECT_EQ(std::string(buf), expect) << size;
        for (std::size_t i = size; i < sizeof buf; ++i) ASSERT_EQ(buf[i], '#') << size << " " << i;
    }
    AnswerCommandString(0, kGcsHelpTextA, kIconManagerHelpText, nullptr, 30);  // no crash

    char16_t wide[6];
    std::fill(std::begin(wide), std::end(wide), u'#');
    EXPECT_EQ(WriteZeroTerminated(u16string_view(u"Manage"), wide, 4), 3u);  // counts characters
    EXPECT_EQ(u16string_view(wide), u"Man");
    EXPECT_EQ(wide[4], u'#');
}

TEST(Verb, TextVerbsAreNotOffsets) {
    EXPECT_EQ(VerbOffset(0), 0);
    EXPECT_EQ(VerbOffset(0xFFFF), 0xFFFF);
    EXPECT_FALSE(VerbOffset(0x10000));
    EXPECT_FALSE(VerbOffset(0x00401000));  // a pointer to a verb text
}

// ---- Icon Manager: offsets and menu ----

TEST(IconMenu, OffsetsRoundTripAndLastTargetComesFirst) {
    for (std::size_t n : {1u, 2u, 3u, 7u}) {
        std::set<std::uint32_t> seen;
        for (IconAction a : {IconAction::CreateShortcut, IconAction::CopyTo})
            for (std::size_t p = 0; p < n; ++p) {
                const std::uint32_t off = IconCommandOffset({a, p}, n);
                const auto back = IconCommandAt(off, n);
                ASSERT_TRUE(back);
                EXPECT_EQ(back->action, a);
                EXPECT_EQ(back->target, p);
                seen.insert(off);
            }
        EXPECT_EQ(seen.size(), 2 * n);
        EXPECT_EQ(*seen.rbegin(), 2 * n - 1);
        EXPECT_FALSE(IconCommandAt(static_cast<std::uint32_t>(2 * n), n));
    }
    // Two targets A, B: shortcut B = 0, shortcut A = 1, copy B = 2, copy A = 3.
    EXPECT_EQ(IconCommandOffset({IconAction::CreateShortcut, 1}, 2), 0u);
    EXPECT_EQ(IconCommandOffset({IconAction::CopyTo, 0}, 2), 3u);
    EXPECT_FALSE(IconCommandAt(0, 0));
}

TEST(IconMenu, ModelListsTargetsInOrderWithTheirOffsets) {
    EXPECT_FALSE(BuildIconMenu({}, "C:\\x"));
    EXPECT_FALSE(OffersIconManager(0, true));
    EXPECT_FALSE(OffersIconManager(3, false));
    EXPECT_FALSE(OffersIconManager(-1, true));
    EXPECT_TRUE(OffersIconManager(1, true));

    const auto menu = BuildIconMenu({{"A", "C:\\a"}, {"B", "C:\\b"}, {"C", "C:\\c"}}, "C:\\f.txt");
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->idsUsed, 6u);
    EXPECT_EQ(menu->pathItem, "C:\\f.txt");
    EXPECT_STREQ(menu->groups[0].caption, "Create shortcut on");
    EXPECT_STREQ(menu->groups[1].caption, "Copy to");
    const std::uint32_t offsets[2][3] = {{2, 1, 0}, {5, 4, 3}};
    for (int g = 0; g < 2; ++g) {
        ASSERT_EQ(menu->groups[g].entries.size(), 3u);
        for (int p = 0; p < 3; ++p) {
            EXPECT_EQ(menu->groups[g].entries[p].text, std::string(1, char('A' + p)));
            EXPECT_EQ(menu->groups[g].entries[p].offset, offsets[g][p]);
        }
    }
}

// ---- Icon Manager: targets ----

bool SafeName(string_view n) { return IsSafePathComponent(n); }

TDesktopRecord Desk(std::int64_t id, const char* name, const char* folder, bool enabled = true,
                    bool noIcon = false) {
    TDesktopRecord r{};
    r.Id = id;
    r.Name = ShortString::From(name);
    r.FolderName = ShortString::From(folder);
    r.Enabled = enabled;
    r.NoIconTarget = noIcon;
    return r;
}

TEST(IconTargets, OnlyEnabledReceivingDesktopsWithSafeFolders) {
    const std::vector<TDesktopRecord> records = {
        Desk(1, "Main", "ignored"),  Desk(7, "B", "FolderB"),
        Desk(8, "Off", "F8", false), Desk(9, "Hidden", "F9", true, true),
        Desk(10, "Escape", ".."),    Desk(11, "Up", "..\\..\\Windows"),
        Desk(12, "Drive", "C:"),     Desk(13, "Empty", ""),
    };
    int desktopAsked = 0;
    TargetPlaces places{[&] {
                            ++desktopAsked;
                            return std::string("C:\\Users\\u\\Desktop");
                        },
                        "C:\\AppData\\Brindlecote\\Quillmere\\Default", SafeName};
    const auto read = [&](std::int32_t i, TDesktopRecord& r) { r = records[i]; };
    const auto targets = BuildTargetList(static_cast<std::int32_t>(records.size()), read, places);
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0].name, "Main");
    EXPECT_EQ(targets[0].folder, "C:\\Users\\u\\Desktop");
    EXPECT_EQ(targets[1].name, "B");
    EXPECT_EQ(targets[1].folder, "C:\\AppData\\Brindlecote\\Quillmere\\Default\\FolderB");
    EXPECT_EQ(desktopAsked, 1);

    // Without a usable profile folder, a name check, or a user desktop folder: left out.
    EXPECT_FALSE(TargetFolder(records[1], {nullptr, "", SafeName}));
    EXPECT_FALSE(TargetFolder(records[1], {nullptr, "C:\\P", nullptr}));
    EXPECT_FALSE(TargetFolder(records[0], {nullptr, "C:\\P", SafeName}));
    EXPECT_FALSE(TargetFolder(records[0], {[] { return std::string(); }, "C:\\P", SafeName}));
    // A record the reader leaves untouched is a zero record: not enabled.
    EXPECT_TRUE(BuildTargetList(
                    3, [](std::int32_t, TDesktopRecord&) {}, places)
                    .empty());
}

TEST(IconTargets, LongFoldersAreCutTo255AndRecheckedAfterTheCut) {
    const std::string profile = "C:\\" + std::string(240, 'p');  // 243 + "\" = 244
    const TargetPlaces places{nullptr, profile, SafeName};
    const auto folder = TargetFolder(Desk(5, "L", std::string(40, 'f').c_str()), places);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->size(), 255u);
    EXPECT_EQ(*folder, profile + "\\" + std::string(11, 'f'));
    // A cut that leaves a trailing full stop is no longer a safe name.
    EXPECT_FALSE(
        TargetFolder(Desk(5, "L", ("abcdefghij." + std::string(20, 'x')).c_str()), places));
    EXPECT_FALSE(
        TargetFolder(Desk(5, "L", "f"), {nullptr, "C:\\" + std::string(251, 'p'), SafeName}));
    // The user's desktop folder is cut as well.
    const auto mine =
        TargetFolder(Desk(1, "M", ""), {[] { return std::string(300, 'd'); }, "", SafeName});
    ASSERT_TRUE(mine);
    EXPECT_EQ(mine->size(), 255u);
}

// ---- Icon Manager: shortcut and copy paths ----

TEST(IconPaths, ShortcutNameIsTheLastComponentWithoutItsExtension) {
    struct Case {
        const char* path;
        const char* description;
        const char* folder;
    };
    const Case cases[] = {
        {"C:\\Docs\\report.final.doc", "report.final", "C:\\Docs"},
        {"C:\\Pictures\\Photos", "Photos", "C:\\Pictures"},
        {"C:\\my.dir\\README", "README", "C:\\my.dir"},
        {"C:\\a\\archive.tar.gz", "archive.tar", "C:\\a"},
        {"C:\\a\\.profile", "", "C:\\a"},
        {"C:\\a\\trailing.", "trailing", "C:\\a"},
        {"C:\\", "", "C:"},
        {"plain.txt", "plain", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShortcutDescription(string_view(c.path)), c.description) << c.path;
        EXPECT_EQ(FolderPart(string_view(c.path)), c.folder) << c.path;
    }
    EXPECT_EQ(ShortcutPath(string_view("D:\\T"), string_view("C:\\Docs\\report.final.doc")),
              "D:\\T\\report.final.lnk");
    EXPECT_EQ(ShortcutPath(u16string_view(u"D:\\T"), u16string_view(u"C:\\Фото\\отчёт.v2.doc")),
              u"D:\\T\\отчёт.v2.lnk");
    EXPECT_EQ(
        JoinPath(u16string_view(u"D:\\T"), LastComponent(u16string_view(u"C:\\写真\\猫.jpg"))),
        u"D:\\T\\猫.jpg");
}

TEST(IconPaths, TwoByteCharactersEndingInBackslashAreNotSeparators) {
    // Shift-JIS "ソ" is 0x83 0x5C: its trail byte has the value of a backslash.
    const auto sjisLead = [](unsigned char c) {
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    };
    const string_view path =
        "C:\\dir\\\x83\x5C"
        "ft.txt";
    EXPECT_EQ(LastComponent(path, sjisLead),
              "\x83\x5C"
              "ft.txt");
    EXPECT_EQ(LastComponent(path), "ft.txt");  // without the test the name is split
    EXPECT_EQ(ShortcutDescription(path, sjisLead),
              "\x83\x5C"
              "ft");
    EXPECT_FALSE(TreeCopyStops(string_view("C:\\\x83\x5C"), sjisLead));
    EXPECT_TRUE(TreeCopyStops(string_view("C:\\\x83\x5C")));
}

TEST(IconPaths, TreeWalkStopsAndSelfNestingIsSeen) {
    for (const char* s : {"C:\\d\\.", "C:\\d\\..", "C:\\d\\", "C:\\d\\name."})
        EXPECT_TRUE(TreeCopyStops(string_view(s))) << s;
    for (const char* s : {"C:\\d\\sub", "C:\\d\\.git\\x", ""})
        EXPECT_FALSE(TreeCopyStops(string_view(s))) << s;

    EXPECT_TRUE(
        FolderInsideTree(string_view("C:\\Users\\u\\Desktop"), string_view("c:\\users\\U")));
    EXPECT_TRUE(FolderInsideTree(string_view("C:\\A"), string_view("C:\\a\\")));
    EXPECT_FALSE(FolderInsideTree(string_view("C:\\AB\\x"), string_view("C:\\A")));
    EXPECT_FALSE(FolderInsideTree(string_view("C:\\"), string_view("C:\\A")));
    EXPECT_TRUE(FolderInsideTree(u16string_view(u"C:\\Фото\\x"), u16string_view(u"C:\\Фото")));
}

// ---- Run-as extension ----

TEST(RunAsExtension, OfferedOnlyBeforeWindowsXp) {
    struct Case {
        bool known;
        std::uint32_t major, minor;
        bool offered;
    };
    const Case cases[] = {{true, 4, 0, true},  {true, 5, 0, true},  {true, 5, 1, false},
                          {true, 5, 2, false}, {true, 6, 0, false}, {true, 10, 0, false},
                          {false, 10, 0, true}};
    for (const Case& c : cases)
        EXPECT_EQ(OffersRunAsItem(c.known, c.major, c.minor), c.offered)
            << c.major << "." << c.minor;
}

// ---- Registration ----

// Registry keys as HKEY_CLASSES_ROOT ("CR\") and HKEY_LOCAL_MACHINE ("LM\") paths with their
// values; a key's parents exist with it, as RegCreateKeyEx makes them.
struct FakeRegistry {
    std::map<std::string, std::map<std::string, std::string>> keys;

    static std::string Path(RegRoot root, const std::string& key) {
        return (root == RegRoot::ClassesRoot ? "CR\\" : "LM\\") + key;
    }
    void Apply(const RegWrite& w) {
        const std::string path = Path(w.root, w.key);
        for (std::size_t i = path.find('\\', 3); i != std::string::npos; i = path.find('\\', i + 1))
            keys[path.substr(0, i)];
        keys[path][w.valueName] = w.data;
    }
    void Apply(const RegDelete& d) {
        const std::string path = Path(d.root, d.key);
        const auto below = keys.lower_bound(path + "\\");
        if (below != keys.end() && below->first.compare(0, path.size() + 1, path + "\\") == 0)
            return;
        keys.erase(path);
    }
    void Register(const std::string& server) {
        for (const ShellClass* cls : kRegistrationOrder)
            for (const RegWrite& w : RegistrationWrites(*cls, server, true)) Apply(w);
    }
    void Unregister() {
        for (const ShellClass* cls : kRegistrationOrder)
            for (const RegDelete& d : UnregistrationDeletes(*cls)) Apply(d);
    }
    bool Has(const std::string& path) const { return keys.count(path) != 0; }
};

TEST(Registration, TableMatchesThePart) {
    EXPECT_EQ(GuidText(kIconManagerClass.clsid), kIconManagerClass.clsidText);
    EXPECT_EQ(GuidText(kRunAsClass.clsid), kRunAsClass.clsidText);
    EXPECT_EQ(kRegistrationOrder[0], &kRunAsClass);
    EXPECT_EQ(kFactoryCreationOrder[0], &kIconManagerClass);

    const auto w = RegistrationWrites(kIconManagerClass, "C:\\PROGRA~1\\Vexlo.dll", true);
    ASSERT_EQ(w.size(), 3u + 9u + 1u);
    EXPECT_EQ(w[0].key, "CLSID\\{5603452E-350E-4CF8-968D-03DEEE98BE04}");
    EXPECT_EQ(w[0].data, "Quillmere Icon Manager");
    EXPECT_EQ(w[1].key, w[0].key + "\\InprocServer32");
    EXPECT_EQ(w[1].data, "C:\\PROGRA~1\\Vexlo.dll");
    EXPECT_EQ(w[2].valueName, "ThreadingModel");
    EXPECT_EQ(w[2].data, "Apartment");
    const char* handlerKeys[] = {"*\\shellex",
                                 "*\\shellex\\ContextMenuHandlers",
                                 "*\\shellex\\ContextMenuHandlers\\Icon Manager",
                                 "Directory\\shellex",
                                 "Directory\\shellex\\ContextMenuHandlers",
                                 "Directory\\shellex\\ContextMenuHandlers\\Icon Manager",
                                 "Folder\\shellex",
                                 "Folder\\shellex\\ContextMenuHandlers",
                                 "Folder\\shellex\\ContextMenuHandlers\\Icon Manager"};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(w[3 + i].key, handlerKeys[i]);
        EXPECT_EQ(w[3 + i].valueName, "");
        EXPECT_EQ(w[3 + i].data, i % 3 == 2 ? std::string(kIconManagerClass.clsidText) : "");
    }
    EXPECT_EQ(w[12].root, RegRoot::LocalMachine);
    EXPECT_EQ(w[12].key,
              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved");
    EXPECT_EQ(w[12].valueName, "{5603452E-350E-4CF8-968D-03DEEE98BE04}");

    const auto r = RegistrationWrites(kRunAsClass, "x", false);  // not NT: no "Approved" value
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r[5].key, "exefile\\shellex\\ContextMenuHandlers\\Run as...");
    EXPECT_EQ(r[5].data, "{5DE60F2F-4F06-48B4-A050-D94A305981C1}");
    EXPECT_EQ(r[0].data, "Quillmere Run as...");

    // Handler keys first, then the class's own keys, InprocServer32 before its parent.
    for (const ShellClass* cls : kRegistrationOrder) {
        const auto d = UnregistrationDeletes(*cls);
        ASSERT_EQ(d.size(), 3 * cls->fileClassCount + 2);
        for (std::size_t i = 0; i < d.size(); ++i) {
            EXPECT_EQ(d[i].root, RegRoot::ClassesRoot);
            EXPECT_EQ(d[i].sharedHandlerKey, i + 2 < d.size()) << d[i].key;
        }
        EXPECT_EQ(d[d.size() - 2].key, "CLSID\\" + std::string(cls->clsidText) + "\\InprocServer32");
        EXPECT_EQ(d.back().key, "CLSID\\" + std::string(cls->clsidText));
    }
}

TEST(Registration, UnregisteringLeavesOtherHandlersAndTheApprovedValues) {
    FakeRegistry reg;
    reg.Apply(RegWrite{RegRoot::ClassesRoot, "*\\shellex\\ContextMenuHandlers\\Other", "", "{X}"});
    reg.Register("C:\\V\\Vexlo.dll");
    EXPECT_EQ(reg.keys["CR\\*\\shellex\\ContextMenuHandlers\\Other"][""], "{X}");
    EXPECT_TRUE(reg.Has("CR\\*\\shellex\\ContextMenuHandlers\\Icon Manager"));
    EXPECT_TRUE(reg.Has("CR\\exefile\\shellex\\ContextMenuHandlers\\Run as..."));

    reg.Unregister();
    EXPECT_TRUE(reg.Has("CR\\*\\shellex\\ContextMenuHandlers\\Other"));
    EXPECT_FALSE(reg.Has("CR\\*\\shellex\\ContextMenuHandlers\\Icon Manager"));
    for (const char* gone :
         {"CR\\Directory\\shellex", "CR\\Folder\\shellex", "CR\\exefile\\shellex",
          "CR\\CLSID\\{5603452E-350E-4CF8-968D-03DEEE98BE04}",
          "CR\\CLSID\\{5DE60F2F-4F06-48B4-A050-D94A305981C1}"})
        EXPECT_FALSE(reg.Has(gone)) << gone;
    const auto& approved =
        reg.keys["LM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"];
    EXPECT_EQ(approved.at("{5603452E-350E-4CF8-968D-03DEEE98BE04}"), "Quillmere Icon Manager");
    EXPECT_EQ(approved.at("{5DE60F2F-4F06-48B4-A050-D94A305981C1}"), "Quillmere Run as...");
}

TEST(Registration, ShortServerPathOnlyForPathsWithABlank) {
    EXPECT_EQ(ServerFileName("C:\\Program Files\\Q\\Vexlo.dll", "C:\\PROGRA~1\\Q\\Vexlo.dll"),
              "C:\\PROGRA~1\\Q\\Vexlo.dll");
    EXPECT_EQ(ServerFileName("C:\\Q\\Vexlo.dll", "C:\\Q\\VEXLO~1.DLL"), "C:\\Q\\Vexlo.dll");
    // No short form to be had (8.3 names off): the long path stays.
    EXPECT_EQ(ServerFileName("C:\\A B\\Vexlo.dll", ""), "C:\\A B\\Vexlo.dll");
}

// ---- The hook helper's channel ----

TEST(HookChannel, RecordsAndPipeName) {
    using namespace vexlo::hookchannel;
    Request request;
    request.kind = static_cast<std::uint32_t>(Kind::DesktopMenu);
    request.install = 1;
    EXPECT_TRUE(IsValid(request));
    using Breaker = void (*)(Request&);
    const Breaker breakers[] = {[](Request& r) { r.magic ^= 1; }, [](Request& r) { r.version = 2; },
                                [](Request& r) { r.kind = 3; }, [](Request& r) { r.kind = 0; },
                                [](Request& r) { r.install = 0x101; }};
    for (Breaker bad : breakers) {
        Request r = request;
        bad(r);
        EXPECT_FALSE(IsValid(r));
    }
    Reply reply;
    reply.ok = 2;  // a boolean is 0 or 1
    EXPECT_FALSE(IsValid(reply));

    // Nothing in a desktop's name can reach another pipe, and the name stays within 256.
    EXPECT_EQ(PipeName("S-1-5-21-7", 2, "Default"), "\\\\.\\pipe\\Vexlo.Hook64.S-1-5-21-7.2.Default");
    EXPECT_EQ(PipeName("S-1", 0, "a\\b/c:d\n"), "\\\\.\\pipe\\Vexlo.Hook64.S-1.0.a_b_c_d_");
    EXPECT_EQ(PipeName("S-1", 0, std::string(400, 'x')).size(), 256u);
}

}  // namespace
