#pragma once
// The desktop menu rules without Win32: which items every WM_INITMENU on
// Explorer's desktop thread appends, and what a closing menu posts to the main program.
// The hook procedures forward to these and do only the menu, desktop and post calls:
//
//   WM_INITMENU:  for (item : DesktopMenuItems(BuildSwitchList(desktops, CurrentDesktopName())))
//                     InsertMenuItemA(menu, kAppendPosition, TRUE, ...item...);
//   WM_MENUSELECT: if (auto c = tracker.OnMenuSelect(wParam, lParam)) {
//                      PostIfDesktop(kCommandDesktop, mainWindow, c->message, c->wParam, c->lParam);
//                      SetForegroundWindow(mainWindow);   // whether or not the post was made
//                  }
//   WM_LBUTTONUP (the message hook): tracker.OnLeftButtonUp();
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shared/desktop_summary.h"
#include "shared/records.h"
#include "shell/command_text.h"

namespace vexlo::shell {

inline constexpr std::uint32_t kSettingsCommand = 999;
inline constexpr std::uint32_t kFirstSwitchCommand = 1000;   // + settings index
inline constexpr std::uint32_t kLastPostedCommand = 19999;   // a closing menu posts 999 .. 19999
inline constexpr std::uint32_t kCommandMessage = 0x0400 + 5;  // WM_USER + 5
inline constexpr std::uint32_t kAppendPosition = 100;        // by position: after the last item
inline constexpr std::string_view kSettingsText = text::kSettings;
inline constexpr std::string_view kSwitchText = text::kSwitchDesktop;
// The desktop object on which "Quillmere Settings" is enabled, and the one that must open
// before a command is posted.
inline constexpr std::string_view kCommandDesktop = "Default";

// The fields of one desktop record (settings index = position in the list) that the menu reads.
struct MenuDesktop {
    bool enabled = false;     // Enabled byte not 0
    std::string name;         // Name
    std::string objectName;   // DesktopObjectName(Id)
};
MenuDesktop MenuDesktopOf(const TDesktopRecord& record);
MenuDesktop MenuDesktopOf(const TDesktopSummary& summary);

// A switch entry: one per enabled desktop, in settings order.
struct SwitchEntry {
    std::string name;
    std::int32_t index = 0;   // settings index
    bool current = false;     // its object name equals the current one exactly
};
std::vector<SwitchEntry> BuildSwitchList(const std::vector<MenuDesktop>& desktops,
                                         std::string_view currentObjectName);

enum class MenuItemKind { Separator, Command, Submenu };

// One item to insert (MENUITEMINFOA): a separator; a string item with an identifier; or a
// string item without identifier that opens a popup holding `submenu`, in display order.
// `menuBitmap`: the item is in the checked state with the menu bitmap "ICON" as its
// checked-state bitmap (hbmpChecked), so the bitmap shows where a tick would. Entries of
// "Switch desktop" carry no bitmap: the current one shows the plain tick.
struct MenuEntry {
    MenuItemKind kind = MenuItemKind::Separator;
    std::uint32_t id = 0;
    std::string text;
    bool checked = false;      // MFS_CHECKED
    bool grayed = false;       // MFS_DISABLED | MFS_GRAYED
    bool menuBitmap = false;
    std::vector<MenuEntry> submenu;
};

// What one WM_INITMENU appends, in order: a separator; "Quillmere Settings" (999), greyed
// unless the current desktop object is "Default"; "Switch desktop" with one entry per
// switch entry (1000 + settings index), the current one ticked and greyed. Appending in this order gives the same popup as
// inserting from the last entry to the first at position 0. A name is passed as a C
// string: text after a zero byte inside a name does not show.
std::vector<MenuEntry> DesktopMenuItems(const std::vector<SwitchEntry>& switchList,
                                           std::string_view currentObjectName);

// What is posted when a menu closes after a left click on an item with an identifier from
// 999 to 19999: to the main program's window from "KeyVexloContext", only when the
// desktop object kCommandDesktop opens (PostIfDesktop).
struct MenuCommand {
    std::uint32_t message = kCommandMessage;
    std::uint32_t wParam = 0;   // the item's identifier
    std::int32_t lParam = 0;
    bool operator==(const MenuCommand& o) const {
        return message == o.message && wParam == o.wParam && lParam == o.lParam;
    }
};

// The selection state of Explorer's desktop thread (one per process).
class MenuChoiceTracker {
public:
    // WM_MENUSELECT. With a menu handle (lParam not 0): remembers the low 16 bits of wParam
    // (the identifier, or the position of an item that opens a submenu) and clears the click
    // flag; gives nothing. Without one (the menu closed): the command to post when the
    // click flag is set and the remembered item is 999 .. 19999. Nothing is cleared then.
    std::optional<MenuCommand> OnMenuSelect(std::uintptr_t wParam, std::uintptr_t lParam);
    // WM_LBUTTONUP taken from the thread's queue.
    void OnLeftButtonUp() { clicked_ = true; }

    std::uint16_t LastSelected() const { return lastSelected_; }
    bool Clicked() const { return clicked_; }

private:
    std::uint16_t lastSelected_ = 0;
    bool clicked_ = false;
};

}  // namespace vexlo::shell
