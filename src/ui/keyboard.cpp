#include "ui/keyboard.h"

#include <map>

#include "shared/guard.h"
#include "shared/handles.h"
#include "shared/module.h"
#include "ui/form.h"

namespace vexlo::ui {

namespace {

struct ThreadHook {
    UniqueHook hook;
    int users = 0;
};

CriticalSection& HookLock() {
    static CriticalSection cs;
    return cs;
}

std::map<DWORD, ThreadHook>& Hooks() {
    static std::map<DWORD, ThreadHook> hooks;
    return hooks;
}

HHOOK CurrentThreadHook() {
    Lock lock(HookLock());
    const auto it = Hooks().find(GetCurrentThreadId());
    return it == Hooks().end() ? nullptr : it->second.hook.get();
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wp, LPARAM lp) {
    // Runs inside the host's GetMessage.
    return GuardedHook("keyboard navigation", CurrentThreadHook(), code, wp, lp, [&] {
        if (wp == PM_REMOVE) {
            MSG* msg = reinterpret_cast<MSG*>(lp);
            if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && msg->hwnd) {
                HWND root = GetAncestor(msg->hwnd, GA_ROOT);
                if (root && Form::FromHandle(root) && IsDialogMessageA(root, msg)) {
                    // Consumed: the host dispatches a null message instead.
                    msg->message = WM_NULL;
                    msg->wParam = 0;
                    msg->lParam = 0;
                }
            }
        }
        return HookResult::Pass();
    }, HookWindows::Allowed);
}

}  // namespace

void AttachModelessKeyboard() {
    Lock lock(HookLock());
    ThreadHook& h = Hooks()[GetCurrentThreadId()];
    if (h.users++ == 0)
        h.hook.reset(SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, module::Instance(), GetCurrentThreadId()));
}

void DetachModelessKeyboard() {
    Lock lock(HookLock());
    const auto it = Hooks().find(GetCurrentThreadId());
    if (it == Hooks().end()) return;
    if (--it->second.users <= 0) Hooks().erase(it);
}

}  // namespace vexlo::ui
