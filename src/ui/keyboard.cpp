// Dialog keys for modeless forms: the per-thread message hook and its forms (keyboard.h).
#include "ui/keyboard.h"

#include <algorithm>
#include <map>
#include <vector>

#include "shared/guard.h"
#include "shared/handles.h"
#include "shared/module.h"
#include "ui/window.h"

namespace vexlo::ui {

namespace {

// One thread's hook and its modeless forms. A thread that ended without the library
// hearing of it (killed, or ended while detach notices were off) leaves its record behind,
// and the system reuses thread ids: the creation time tells a record of a later thread
// with the same id from its own.
struct ThreadRecord {
    UniqueHook hook;
    std::vector<DialogWindow*> forms;
    ULONGLONG created = 0;
};

CriticalSection& RecordLock() {
    static CriticalSection cs;
    return cs;
}

std::map<DWORD, ThreadRecord>& Records() {
    static std::map<DWORD, ThreadRecord> records;
    return records;
}

ULONGLONG CurrentThreadCreated() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

HHOOK CurrentThreadHook() {
    Lock lock(RecordLock());
    const auto it = Records().find(GetCurrentThreadId());
    return it == Records().end() ? nullptr : it->second.hook.get();
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wp, LPARAM lp) {
    // Runs inside the host's GetMessage.
    return GuardedHook(
        "keyboard navigation", CurrentThreadHook(), code, wp, lp,
        [&] {
            if (wp == PM_REMOVE) {
                MSG* msg = reinterpret_cast<MSG*>(lp);
                if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && msg->hwnd) {
                    HWND root = GetAncestor(msg->hwnd, GA_ROOT);
                    DialogWindow* dialog = root ? Window::As<DialogWindow>(root) : nullptr;
                    if (dialog && (dialog->DialogKey(*msg) || IsDialogMessageA(root, msg))) {
                        // Consumed: the host dispatches a null message instead.
                        msg->message = WM_NULL;
                        msg->wParam = 0;
                        msg->lParam = 0;
                    }
                }
            }
            return HookResult::Pass();
        },
        HookWindows::Allowed);
}

// Takes the calling thread's record out of the table, with what it holds.
ThreadRecord TakeRecord(DWORD thread) {
    Lock lock(RecordLock());
    const auto it = Records().find(thread);
    if (it == Records().end()) return {};
    ThreadRecord taken = std::move(it->second);
    Records().erase(it);
    return taken;
}

}  // namespace

void AttachModelessKeyboard(DialogWindow* form) {
    const DWORD thread = GetCurrentThreadId();
    const ULONGLONG created = CurrentThreadCreated();
    ThreadRecord stale;
    {
        Lock lock(RecordLock());
        ThreadRecord& r = Records()[thread];
        if (r.created != created) {
            // A record of an earlier thread with this id: its hook died with it.
            stale = std::move(r);
            r = ThreadRecord{};
            r.created = created;
        }
        if (!r.hook)
            r.hook.reset(SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, module::Instance(), thread));
        r.forms.push_back(form);
    }
    // The dead thread's forms lost their windows with it; their objects go now, secrets
    // wiped. Outside the lock: ending a form detaches it.
    for (DialogWindow* f : stale.forms) f->Abandon();
}

void DetachModelessKeyboard(DialogWindow* form) {
    Lock lock(RecordLock());
    const auto it = Records().find(GetCurrentThreadId());
    if (it == Records().end()) return;
    auto& forms = it->second.forms;
    forms.erase(std::remove(forms.begin(), forms.end(), form), forms.end());
    if (forms.empty()) Records().erase(it);
}

void ReleaseModelessKeyboards() noexcept {
    try {
        std::map<DWORD, ThreadRecord> records;
        {
            Lock lock(RecordLock());
            records.swap(Records());
        }
        // Hooks of other threads too: any thread may remove a hook.
        for (auto& [thread, record] : records) {
            record.hook.reset();
            for (DialogWindow* f : record.forms) f->Abandon();
        }
    } catch (...) {
        ReportCaught("keyboard release", CurrentExceptionText());
    }
}

void ThreadEnding() noexcept {
    try {
        ThreadRecord record = TakeRecord(GetCurrentThreadId());
        for (DialogWindow* f : record.forms) f->Abandon();
    } catch (...) {
        ReportCaught("thread end", CurrentExceptionText());
    }
}

}  // namespace vexlo::ui
