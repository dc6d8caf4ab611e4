// The desktop menus: "Quillmere Settings" and "Switch desktop" appended to every menu that
// Explorer's desktop thread initialises, and the command posted to the main program when
// such a menu closes after a left click on one of them.
#include <string>
#include <vector>

#include "shared/blocks.h"
#include "shared/desktop_summary.h"
#include "shared/desktops.h"
#include "shared/error.h"
#include "shared/guard.h"
#include "shared/module.h"
#include "shell/desktop_menu_rules.h"
#include "shell/explorer_hooks.h"
#include "shell/menu_bitmap.h"

namespace vexlo::shell {

namespace {

// Per process; only Explorer's desktop thread touches them. Constant-initialised.
MenuChoiceTracker g_choice;

void InsertItem(HMENU menu, UINT position, const MenuEntry& entry) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    if (entry.kind == MenuItemKind::Separator) {
        info.fMask = MIIM_FTYPE;
        info.fType = MFT_SEPARATOR;
        if (!InsertMenuItemA(menu, position, TRUE, &info)) throw SystemError("InsertMenuItemA", GetLastError());
        return;
    }
    UniqueHmenu popup;
    if (entry.kind == MenuItemKind::Submenu) {
        popup.reset(CreatePopupMenu());
        if (!popup) throw SystemError("CreatePopupMenu", GetLastError());
        for (std::size_t i = 0; i < entry.submenu.size(); ++i) InsertItem(popup.get(), static_cast<UINT>(i), entry.submenu[i]);
    }
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_STATE | (entry.kind == MenuItemKind::Command ? MIIM_ID : MIIM_SUBMENU);
    info.fType = MFT_STRING;
    info.dwTypeData = const_cast<char*>(entry.text.c_str());
    info.fState = (entry.checked ? MFS_CHECKED : 0u) | (entry.grayed ? MFS_DISABLED | MFS_GRAYED : 0u);
    info.wID = entry.id;
    info.hSubMenu = popup.get();
    if (entry.menuBitmap && MenuBitmap()) {
        info.fMask |= MIIM_CHECKMARKS;
        info.hbmpChecked = MenuBitmap();
    }
    if (!InsertMenuItemA(menu, position, TRUE, &info)) throw SystemError("InsertMenuItemA", GetLastError());
    popup.release();  // the menu owns its submenu now
}

LRESULT CALLBACK MenuProc(int code, WPARAM wp, LPARAM lp) {
    return GuardedHook("desktop menu hook", module::StoredHooks().contextCallWnd.get(), code, wp, lp, [&] {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lp);
        if (code != HC_ACTION) return HookResult::Pass();
        if (call->message == WM_INITMENU) {
            // Explorer's own menus send it from this thread (TrackPopupMenu); any process
            // can send it too, naming any menu: that is not a menu opening here.
            if (InSendMessageEx(nullptr) != ISMEX_NOSEND) return HookResult::Pass();
            const HMENU menu = reinterpret_cast<HMENU>(call->wParam);
            // A menu initialised again (a second WM_INITMENU before it closes) keeps one set.
            if (IsMenu(menu) && GetMenuState(menu, kSettingsCommand, MF_BYCOMMAND) == static_cast<UINT>(-1))
                AppendDesktopMenu(menu);
        } else if (call->message == WM_MENUSELECT) {
            if (const auto command = g_choice.OnMenuSelect(call->wParam, static_cast<std::uintptr_t>(call->lParam))) {
                const HWND mainWindow = MainProgramWindow();
                PostIfDesktop(std::string(kCommandDesktop), mainWindow, command->message, command->wParam,
                              command->lParam);
                SetForegroundWindow(mainWindow);
            }
        }
        return HookResult::Pass();
    });
}

LRESULT CALLBACK ClickProc(int code, WPARAM wp, LPARAM lp) {
    return GuardedHook("desktop click hook", module::StoredHooks().contextGetMsg.get(), code, wp, lp, [&] {
        if (code == HC_ACTION && reinterpret_cast<const MSG*>(lp)->message == WM_LBUTTONUP) g_choice.OnLeftButtonUp();
        return HookResult::Pass();
    });
}

}  // namespace

void AppendDesktopMenu(HMENU menu) {
    std::vector<MenuDesktop> desktops;
    for (const TDesktopSummary& summary : ReadDesktopSummaries(kMostListedDesktops, kDesktopListingSize)) desktops.push_back(MenuDesktopOf(summary));
    AppendDesktopMenu(menu, desktops);
}

void AppendDesktopMenu(HMENU menu, const std::vector<MenuDesktop>& desktops) {
    const std::string current = CurrentDesktopName();
    for (const MenuEntry& item : DesktopMenuItems(BuildSwitchList(desktops, current), current))
        InsertItem(menu, kAppendPosition, item);
}

bool InstallDesktopMenuHooks() {
    module::Hooks& hooks = module::StoredHooks();
    if (HWND listView = FindDesktopListView()) {
        const DWORD thread = GetWindowThreadProcessId(listView, nullptr);
        // Replaced hooks come off: a second pair would append every item twice and could
        // never be removed. The hooks follow the desktop thread, not the window, so they
        // keep working when Explorer moves the view between Progman and a WorkerW.
        hooks.contextCallWnd.reset(SetWindowsHookExA(WH_CALLWNDPROC, MenuProc, module::Instance(), thread));
        hooks.contextGetMsg.reset(SetWindowsHookExA(WH_GETMESSAGE, ClickProc, module::Instance(), thread));
    }
    return hooks.contextCallWnd && hooks.contextGetMsg;
}

bool RemoveDesktopMenuHooks() {
    module::Hooks& hooks = module::StoredHooks();
    // The click hook comes off only after the menu hook did, as the main program expects.
    if (!UnhookWindowsHookEx(hooks.contextCallWnd.release())) return false;
    return UnhookWindowsHookEx(hooks.contextGetMsg.release()) != FALSE;
}


}  // namespace vexlo::shell
