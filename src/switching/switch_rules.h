#pragma once
// The Alt+Tab switcher's rules without windows:
//   - SwitcherSelection: DeskIndex/AppIndex over "groups of item counts": the first
//     selection, advancing with 0x420 (through a desktop's windows, on to the next desktop
//     that has windows, wrapping), list notifications, and closing; also what arrives while
//     the window is still being built (advances wait, a close waits for the build);
//   - AltTabKeys: what the low-level hook does with one key event, with the hook's own record
//     of the Alt key that makes the switcher work under Wine;
//   - CentredOrigin: the window's place on the screen.
#include <cstdint>
#include <optional>
#include <vector>

namespace vexlo::switching {

// One TDeskEntry, in Desktops order (the settings store's order, disabled ones left out).
struct DeskGroup {
    int appCount = 0;        // windows listed for the desktop; 0 gives no group
    bool isCurrent = false;  // the entry's object name is the input desktop's
};

struct SwitchPosition {
    int desk = -1;  // DeskIndex
    int app = -1;   // AppIndex
    bool operator==(const SwitchPosition& o) const { return desk == o.desk && app == o.app; }
};

class SwitcherSelection {
public:
    // The window exists from OnCreate on, but its groups come only once the desktops'
    // windows are gathered. Until then: Advance is counted and applied after the build, and
    // RequestClose is remembered (the window closes as soon as it is built).

    // The gathered groups. The first selection is item 0 of the first current entry that has
    // windows, else item 0 of the last entry that has windows; pending advances follow.
    // False when no entry has windows: the window is destroyed and nothing is shown.
    bool Build(std::vector<DeskGroup> groups);

    // 0x420. After the last window of a desktop, item 0 of the next desktop with windows
    // (cyclically); with no other such desktop, item 0 of the same one. Ignored while closing.
    void Advance();

    // A list's selection changed (selected or deselected alike): DeskIndex := the list's tag,
    // AppIndex := the item's index; ignored while closing or before the build, and for a
    // tag or index that names no listed window.
    void OnItemChanged(int desk, int item);

    // WM_CLOSE. True when the window closes now (it is built): Closing is set and the
    // selection is final. False while it is being built: it closes once built, and
    // CloseDue() says so then.
    bool RequestClose();
    bool CloseDue() const { return built_ && closeRequested_ && !closing_; }

    bool Built() const { return built_; }
    bool Closing() const { return closing_; }
    // The current entry, none before the build (and for a window that shows nothing).
    std::optional<SwitchPosition> Current() const;
    int PendingAdvances() const { return pendingAdvances_; }

private:
    void Step();

    std::vector<DeskGroup> groups_;
    SwitchPosition at_;
    bool built_ = false, closing_ = false, closeRequested_ = false;
    int pendingAdvances_ = 0;
};

// Win32 values the hook looks at.
namespace keys {
inline constexpr std::uint32_t kWmKeyDown = 0x100, kWmKeyUp = 0x101;
inline constexpr std::uint32_t kWmSysKeyDown = 0x104, kWmSysKeyUp = 0x105;
inline constexpr std::uint32_t kVkTab = 0x09, kVkMenu = 0x12, kVkLMenu = 0xA4, kVkRMenu = 0xA5;
inline constexpr std::uint32_t kLlkhfAltDown = 0x20;
}  // namespace keys

struct KeyEvent {
    std::uint32_t message = 0;  // the hook's wParam
    std::uint32_t vkCode = 0;
    std::uint32_t flags = 0;    // KBDLLHOOKSTRUCT.flags
};

enum class KeyAction {
    PassOn,          // CallNextHookEx
    ShowSwitcher,    // build and show the switcher; swallow (return 1)
    Advance,         // send 0x420 to the switcher; swallow
    Swallow,         // return 1, nothing else
    CloseAndPassOn,  // send WM_CLOSE to the switcher, then CallNextHookEx
};

// The hook procedure's decision for HC_ACTION events (steps 4 to 6). "Alt held" is any of:
// the LLKHF_ALTDOWN flag; a WM_SYSKEYDOWN/WM_SYSKEYUP message; the hook's own record that
// the last VK_MENU/VK_LMENU/VK_RMENU event it saw was a key-down (Wine never sets the flag,
// and resets its Alt state once a window shows). With Alt held, Tab is always swallowed; a
// Tab key-down shows or advances when it is a WM_SYSKEYDOWN, or a WM_KEYDOWN without the
// flag (Wine after its reset); a WM_KEYDOWN with the flag (Ctrl+Alt+Tab on Windows) has no
// effect. Without Alt held, any event closes a present switcher and is passed on. On
// Windows the flag and the messages agree with the record, so this keeps the Windows rule.
class AltTabKeys {
public:
    // `switcherPresent`: the window exists or is being built.
    KeyAction OnKey(const KeyEvent& event, bool switcherPresent);
    bool AltDown() const { return altDown_; }

private:
    bool altDown_ = false;
};

// The window's left (or top) on a screen: (screen - size) / 2, to the nearest integer, a
// half going to the even neighbour.
int CentredOrigin(int screen, int size);

}  // namespace vexlo::switching
