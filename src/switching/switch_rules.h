#pragma once
// The Alt+Tab switcher's rules without windows:
//   - SwitcherSelection: DeskIndex/AppIndex over "groups of item counts": the first
//     selection, stepping with 0x420 (forwards through a desktop's windows, on to the next
//     desktop that has windows, wrapping; backwards the same way in reverse), list
//     notifications, closing and cancelling; also what arrives while the window is still
//     being built (steps wait, a close or a cancel waits for the build);
//   - AltTabKeys: what the low-level hook does with one key event, with the hook's own record
//     of the Alt and Shift keys that makes the switcher work under Wine, checked against the
//     keys' real state so that it never sticks;
//   - IsProductDesktopName: the desktops that get a hook of their own;
//   - CentredOrigin: the window's place on the screen.
#include <cstdint>
#include <optional>
#include <string_view>
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
    // windows are gathered. Until then: steps are counted and applied after the build, and
    // RequestClose and RequestCancel are remembered (the window closes, or goes unshown, as
    // soon as it is built).

    // The gathered groups. The first selection is item 0 of the first current entry that has
    // windows, else item 0 of the last entry that has windows; pending steps follow (a
    // switcher opened with Alt+Shift+Tab thus starts one before that item, as Windows does).
    // False when no entry has windows: the window is destroyed and nothing is shown.
    bool Build(std::vector<DeskGroup> groups);

    // 0x420, wParam 0. After the last window of a desktop, item 0 of the next desktop with
    // windows (cyclically); with no other such desktop, item 0 of the same one. Ignored
    // while closing.
    void Advance();
    // 0x420, wParam 1 (Alt+Shift+Tab): the exact reverse of Advance. Before item 0 of a
    // desktop, the last window of the previous desktop with windows (cyclically); with no
    // other such desktop, the last window of the same one. Ignored while closing.
    void Back();

    // A list's selection changed (selected or deselected alike): DeskIndex := the list's tag,
    // AppIndex := the item's index; ignored while closing or before the build, and for a
    // tag or index that names no listed window.
    void OnItemChanged(int desk, int item);

    // WM_CLOSE. True when the window closes now (it is built): Closing is set and the
    // selection is final. False while it is being built: it closes once built, and
    // CloseDue() says so then.
    bool RequestClose();
    bool CloseDue() const { return built_ && closeRequested_ && !cancelRequested_ && !closing_; }

    // Escape with Alt held: the window goes without switching or activating anything. True
    // when it goes now (it is built): Closing and Cancelled are set. False while it is being
    // built: it goes unshown once built, and CancelDue() says so then. A cancel wins over a
    // close that came with it.
    bool RequestCancel();
    bool CancelDue() const { return built_ && cancelRequested_ && !closing_; }

    bool Built() const { return built_; }
    bool Closing() const { return closing_; }
    bool Cancelled() const { return cancelled_; }
    // The current entry, none before the build (and for a window that shows nothing).
    std::optional<SwitchPosition> Current() const;
    // Steps taken before the build: forwards positive, backwards negative.
    int PendingSteps() const { return pendingSteps_; }

private:
    void Step();
    void StepBack();

    std::vector<DeskGroup> groups_;
    SwitchPosition at_;
    bool built_ = false, closing_ = false, closeRequested_ = false;
    bool cancelRequested_ = false, cancelled_ = false;
    int pendingSteps_ = 0;
};

// Win32 values the hook looks at.
namespace keys {
inline constexpr std::uint32_t kWmKeyDown = 0x100, kWmKeyUp = 0x101;
inline constexpr std::uint32_t kWmSysKeyDown = 0x104, kWmSysKeyUp = 0x105;
inline constexpr std::uint32_t kVkTab = 0x09, kVkMenu = 0x12, kVkLMenu = 0xA4, kVkRMenu = 0xA5;
inline constexpr std::uint32_t kVkShift = 0x10, kVkLShift = 0xA0, kVkRShift = 0xA1, kVkEscape = 0x1B;
inline constexpr std::uint32_t kLlkhfAltDown = 0x20, kLlkhfInjected = 0x10;
// The key sent before Alt's release so that it does not count as a lone tap: a virtual key
// that Windows lists as unassigned, so no program acts on it.
inline constexpr std::uint32_t kVkMask = 0xE8;
}  // namespace keys

struct KeyEvent {
    std::uint32_t message = 0;  // the hook's wParam
    std::uint32_t vkCode = 0;
    std::uint32_t flags = 0;    // KBDLLHOOKSTRUCT.flags
};

enum class KeyAction {
    PassOn,                // CallNextHookEx
    ShowSwitcher,          // build and show the switcher; swallow (return 1)
    ShowSwitcherBackward,  // the same, opened with Shift: the selection starts one back
    Advance,               // post 0x420 (wParam 0) to the switcher; swallow
    Back,                  // post 0x420 (wParam 1) to the switcher; swallow
    Cancel,                // Escape: close the switcher without activating anything; swallow
    Swallow,               // return 1, nothing else
    CloseAndPassOn,        // close the switcher (activating its choice), then CallNextHookEx
};

// The real state of a key, asked only to confirm the record (GetAsyncKeyState(vk) & 0x8000
// under Win32). Null: the record is trusted.
using KeyStateQuery = bool (*)(std::uint32_t vk);

// The hook procedure's decision for HC_ACTION events. "Alt held" is any of: the
// LLKHF_ALTDOWN flag; a WM_SYSKEYDOWN/WM_SYSKEYUP message; the hook's own record that the
// last VK_MENU/VK_LMENU/VK_RMENU event it saw was a key-down (Wine never sets the flag,
// and after a window shows it may report keys as plain WM_KEYDOWN). The record alone is
// never trusted: for an event with neither the flag nor a WM_SYS* message, a record that
// says "down" is first confirmed with the key's real state, and cleared when the key is
// up (its release went past the hook: the hook was off, its thread was busy, or Alt came
// up on another desktop). Reset() forgets it (the hook is installed or removed).
//
// With Alt held, Tab is always swallowed; a Tab key-down shows or steps when it is a
// WM_SYSKEYDOWN, or a WM_KEYDOWN without the flag (Wine); a WM_KEYDOWN with the flag
// (Ctrl+Alt+Tab on Windows) has no effect. Shift held (the hook's record of it, confirmed
// the same way) turns forwards into backwards. Escape with Alt held and a switcher present
// cancels it and is swallowed, and so is its key-up; without a switcher it is passed on
// (Alt+Esc is the system's). Without Alt held, any event closes a present switcher and is
// passed on. On Windows the flag and the messages agree with the record, so this keeps
// the Windows rule.
//
// The window in front saw Alt go down, and sees it come up, but not the keys swallowed in
// between: Windows (and Wine) take that for a lone Alt tap and put the window into menu
// mode. So when a key was swallowed since Alt went down, Alt's release asks for the mask
// key (kVkMask, down and up) to be sent before the release is passed on. The mask key's
// own injected events pass without touching the record.
class AltTabKeys {
public:
    // `switcherPresent`: the window exists or is being built.
    KeyAction OnKey(const KeyEvent& event, bool switcherPresent, KeyStateQuery isDown = nullptr);
    void Reset() { *this = AltTabKeys{}; }
    bool AltDown() const { return altDown_; }
    bool ShiftDown() const { return shiftDown_; }
    // Whether the last event was a release of Alt that must be preceded by the mask key.
    bool MaskBeforeRelease() const { return maskBeforeRelease_; }

private:
    KeyAction Decide(const KeyEvent& event, bool switcherPresent, KeyStateQuery isDown);

    bool altDown_ = false;
    bool shiftDown_ = false;
    bool swallowEscapeUp_ = false;
    bool swallowedWithAlt_ = false;
    bool maskBeforeRelease_ = false;
};

// The desktops that get a hook thread of their own: the product's desktop objects,
// "Default" (identifier 1) and "Vexlo_" followed by a signed decimal identifier.
bool IsProductDesktopName(std::string_view name);

// The window's left (or top) on a screen: (screen - size) / 2, to the nearest integer, a
// half going to the even neighbour.
int CentredOrigin(int screen, int size);

}  // namespace vexlo::switching
