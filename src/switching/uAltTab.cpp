#include "switching/uAltTab.h"

#include <utility>

#include "shared/guard.h"
#include "shared/module.h"
#include "switching/frmAltTab.h"
#include "switching/switch_rules.h"

namespace vexlo::switching {

namespace {

constexpr UINT kBuildSwitcher = WM_APP + 1;
constexpr const char* kRequestClass = "TVexloAltTabRequests";

// The hook's state, in the installing thread only. From the key-down that asks for a
// switcher until its window exists, the switcher counts as present: Tabs and a release of
// Alt meanwhile are kept here and handed to the window when it is made. The hook looks
// nothing up: it reads this record and posts.
struct HookState {
    AltTabKeys keys;
    HWND requests = nullptr;  // message-only window of the installing thread
    HWND switcher = nullptr;  // from the window's creation until it goes
    bool pending = false;
    int advances = 0;
    bool close = false;
};
constinit HookState g_state{};

void SwitcherGone() { g_state.switcher = nullptr; }

void BuildSwitcher() noexcept {
    try {
        auto wnd = ui::MakeOwned<TVexloAltTabWnd>(&SwitcherGone);
        // The desktops are gathered while the window is made.
        wnd->StartGathering();
        g_state.switcher = wnd->Handle();
        // From here the window exists: the hook posts it what comes next, and it takes what
        // came before.
        const int advances = std::exchange(g_state.advances, 0);
        const bool close = std::exchange(g_state.close, false);
        if (wnd->Build(advances, close)) wnd.release()->Present();
    } catch (...) {
        ReportCaught("Alt+Tab switcher", CurrentExceptionText());
    }
    g_state.pending = false;
}

LRESULT CALLBACK RequestProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kBuildSwitcher) {
        // Touches nothing of this window afterwards: the host may remove the hook (and this
        // window) while the switcher is being built.
        BuildSwitcher();
        return 0;
    }
    if (msg == WM_DESTROY && g_state.requests == wnd) {
        // A request still queued goes with the window: none is pending any more.
        g_state.requests = nullptr;
        g_state.pending = false;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

HWND MakeRequestWindow() {
    ui::EnsureWindowClass({.name = kRequestClass, .proc = &RequestProc});
    return CreateWindowExA(0, kRequestClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module::Instance(), nullptr);
}

HookResult OnKey(const KBDLLHOOKSTRUCT& event, WPARAM message) {
    HWND switcher = g_state.switcher;
    const bool present = switcher || g_state.pending;
    const KeyEvent e{static_cast<std::uint32_t>(message), event.vkCode, event.flags};
    switch (g_state.keys.OnKey(e, present)) {
    case KeyAction::ShowSwitcher:
        if (g_state.requests && PostMessageA(g_state.requests, kBuildSwitcher, 0, 0)) {
            g_state.pending = true;
            g_state.advances = 0;
            g_state.close = false;
        }
        return HookResult::Swallow();
    case KeyAction::Advance:
        // Posted, not sent: the hook returns at once whatever the window does with it.
        if (switcher) PostMessageA(switcher, TVexloAltTabWnd::kAdvance, 0, 0);
        else ++g_state.advances;
        return HookResult::Swallow();
    case KeyAction::Swallow: return HookResult::Swallow();
    case KeyAction::CloseAndPassOn:
        if (switcher) PostMessageA(switcher, WM_CLOSE, 0, 0);
        else g_state.close = true;
        return HookResult::Pass();
    case KeyAction::PassOn: return HookResult::Pass();
    }
    return HookResult::Pass();
}

}  // namespace

LRESULT CALLBACK AltTabHookProc(int code, WPARAM wp, LPARAM lp) {
    HHOOK next = module::StoredHooks().altTab.get();
    return GuardedHook("AltTabHook", next, code, wp, lp, [&] {
        if (code != HC_ACTION) return HookResult::Pass();
        const KBDLLHOOKSTRUCT event = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp);
        return OnKey(event, wp);
    });
}

bool InstallAltTabHook() {
    if (!g_state.requests) g_state.requests = MakeRequestWindow();
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, &AltTabHookProc, module::Instance(), 0);
    if (!hook) return false;
    // A new installation takes the stored place; the one before it is removed with it.
    module::StoredHooks().altTab.reset(hook);
    return true;
}

bool RemoveAltTabHook() {
    UniqueHook& stored = module::StoredHooks().altTab;
    if (!stored) return false;
    const bool ok = UnhookWindowsHookEx(stored.get()) != FALSE;
    if (ok) stored.release();
    if (g_state.requests && GetWindowThreadProcessId(g_state.requests, nullptr) == GetCurrentThreadId())
        DestroyWindow(g_state.requests);
    return ok;
}

}  // namespace vexlo::switching
