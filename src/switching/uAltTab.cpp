#include "switching/uAltTab.h"

#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "shared/desktops.h"
#include "shared/guard.h"
#include "shared/handles.h"
#include "shared/module.h"
#include "shared/system_function.h"
#include "switching/frmAltTab.h"
#include "switching/switch_rules.h"
#include "ui/window.h"

namespace vexlo::switching {

namespace {

// --- Threads and their messages.
//
// Windows calls a low-level hook in the thread that installed it, by a message, and waits
// for the answer at most LowLevelHooksTimeout (at most 1 s since Windows 10 1709); a hook
// that misses it is skipped, and on Windows 7 and later, after repeated misses, removed
// without a word (LowLevelKeyboardProc, Remarks). The window thread builds the switcher,
// and the host's own work runs there too, so the hook runs on threads of the library's
// own that only run the hook procedure and a message loop.
//
// A low-level hook sees only the keys typed while its own desktop is the input desktop
// (docs/notes/alt-tab-hook.md gives the sources), so each product desktop gets a hook
// thread of its own, attached to that desktop before it makes its queue or its hook.

constexpr UINT kBuildSwitcher = WM_APP + 1;  // to the request window; wParam: the request's number
constexpr UINT kHookStop = WM_APP + 2;       // to a hook thread: remove the hook and end
constexpr UINT kHookUnload = WM_APP + 3;     // to a hook thread: the library is being unloaded
constexpr UINT_PTR kRescanTimer = 1;
constexpr UINT kRescanMs = 2000;             // desktops made after the installation get a hook
constexpr int kMostHookThreads = 64;
constexpr SIZE_T kHookStack = 256 * 1024;
constexpr DWORD kStartTimeout = 5000, kJoinTimeout = 5000, kUnloadTimeout = 2000;

// --- The hook's record.
//
// Shared by the hook threads, which read and write it for every key, and the window
// thread, which builds the switcher and reports its end. It is made safe to share rather
// than handed over by messages: a hook must decide at once, from the state as it is,
// whether a key is swallowed, and asking the window thread would be the very wait that
// must not happen. One lock guards it, held only while the record is read or written,
// never across a call that waits, sends or posts (the hook posts after letting go).
struct HookRecord {
    AltTabKeys keys;          // the hook's own record of Alt and Shift
    HWND requests = nullptr;  // the window thread's request window
    bool installed = false;   // between AltTabHook(1) and AltTabHook(0)
    HWND switcher = nullptr;  // from the window's creation until it goes (or is cancelled)
    bool pending = false;     // a build was asked for and its window does not exist yet
    unsigned request = 0;     // the number of the last build asked for
    unsigned building = 0;    // the number of the last build that started
    // What the keys asked since the switcher (or, before it exists, its build) last took
    // it: the window is only nudged, and takes this (TakeBacklog).
    int steps = 0;            // Tabs, forwards positive, backwards negative
    bool close = false;       // Alt released
    bool cancel = false;      // Escape
    HWND cancelled = nullptr; // a switcher forgotten at Escape, not yet told
};
constinit HookRecord g_record{};

CriticalSection& RecordLock() {
    static CriticalSection cs;
    return cs;
}

// --- The hook threads, one per desktop. The slots are written only by the window thread
// (installing, rescanning, removing) and by the unload step; a hook thread writes the two
// results in its own slot before it signals `ready` or ends.
struct HookThread {
    char desktop[64] = {};
    HANDLE thread = nullptr;
    DWORD id = 0;
    HDESK held = nullptr;    // the thread's own handle of its desktop, set before `ready`
    HANDLE ready = nullptr;  // set by the thread once its hook is in place, or failed
    HANDLE done = nullptr;   // unload: set by the thread when no code of the library is left for it to run
    bool hooked = false;
    bool unhooked = false;
};
constinit HookThread g_threads[kMostHookThreads]{};

void ClearSlot(HookThread& t) noexcept {
    // The slots are plain handles (no destructor runs for the table at exit); each is
    // closed through its owner as it goes.
    for (HANDLE* h : {&t.thread, &t.ready, &t.done}) UniqueHandle closing(std::exchange(*h, nullptr));
    t = HookThread{};
}

bool RealKeyDown(std::uint32_t vk) { return (GetAsyncKeyState(static_cast<int>(vk)) & 0x8000) != 0; }

// The mask key, down and up, so that the release of Alt about to be passed on is no lone
// tap for the window in front. Sent from inside the hook: the system takes injected input
// at once, so it reaches the window before the release the hook is deciding on (the
// hooks see it too, flagged as injected, and pass it on). Refused only by a window of a
// higher integrity level, which then keeps the old behaviour.
void SendMaskKey() {
    INPUT events[2] = {};
    for (INPUT& k : events) {
        k.type = INPUT_KEYBOARD;
        k.ki.wVk = static_cast<WORD>(keys::kVkMask);
    }
    events[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, events, sizeof(INPUT));
}

HookResult OnKey(const KBDLLHOOKSTRUCT& event, WPARAM message) {
    const KeyEvent e{static_cast<std::uint32_t>(message), event.vkCode, event.flags};
    KeyAction action;
    HWND target = nullptr;
    UINT post = 0;
    WPARAM postWp = 0;
    bool mask = false;
    {
        Lock hold(RecordLock());
        HookRecord& r = g_record;
        action = r.keys.OnKey(e, r.switcher || r.pending, &RealKeyDown);
        mask = r.keys.MaskBeforeRelease();
        const bool back = action == KeyAction::ShowSwitcherBackward || action == KeyAction::Back;
        switch (action) {
        case KeyAction::ShowSwitcher:
        case KeyAction::ShowSwitcherBackward:
            if (!r.requests) break;  // removed meanwhile
            r.pending = true;
            r.steps = back ? -1 : 0;  // opened with Shift: one before the first item
            r.close = r.cancel = false;
            target = r.requests;
            post = kBuildSwitcher;
            postWp = ++r.request;
            break;
        // Recorded, and the window nudged by a post (the hook returns at once whatever the
        // window does); before the window exists its build takes the record.
        case KeyAction::Advance:
        case KeyAction::Back:
            r.steps += back ? -1 : 1;
            target = r.switcher;
            post = TVexloAltTabWnd::kAdvance;
            postWp = back ? 1 : 0;
            break;
        case KeyAction::Cancel:
            // The switcher counts as gone from here: Alt's release passes by unnoticed.
            if (r.switcher) {
                target = std::exchange(r.switcher, nullptr);
                r.cancelled = target;
                post = TVexloAltTabWnd::kCancel;
            } else {
                r.cancel = true;
            }
            break;
        case KeyAction::CloseAndPassOn:
            r.close = true;
            target = r.switcher;
            post = WM_CLOSE;
            break;
        case KeyAction::Swallow:
        case KeyAction::PassOn: break;
        }
    }
    if (post && target && !PostMessageA(target, post, postWp, 0) && post == kBuildSwitcher) {
        Lock hold(RecordLock());
        if (g_record.request == postWp) g_record.pending = false;
    }
    if (mask) SendMaskKey();
    return action == KeyAction::PassOn || action == KeyAction::CloseAndPassOn ? HookResult::Pass()
                                                                               : HookResult::Swallow();
}

// --- The window thread's side: the request window, and the switcher it builds.

void SwitcherGone(HWND wnd) {
    Lock hold(RecordLock());
    if (g_record.switcher == wnd) g_record.switcher = nullptr;
}

KeyBacklog TakeBacklog(HWND wnd) {
    Lock hold(RecordLock());
    HookRecord& r = g_record;
    KeyBacklog keys;
    if (wnd && r.cancelled == wnd) {
        r.cancelled = nullptr;
        keys.cancel = true;
    } else if (wnd && r.switcher == wnd) {
        keys.steps = std::exchange(r.steps, 0);
        keys.close = std::exchange(r.close, false);
        keys.cancel = std::exchange(r.cancel, false);
    }
    return keys;
}

// False once Escape took the switcher away (the hook forgets it at once), also when the
// window has not yet dispatched the cancel that the hook posted it.
bool StillWanted(HWND wnd) {
    Lock hold(RecordLock());
    return g_record.switcher == wnd;
}

// Only for a request the hook recorded and whose build has not started: any process can
// post the request window its message, and a switcher shows every desktop's windows.
bool TakeRequest(unsigned request) {
    Lock hold(RecordLock());
    HookRecord& r = g_record;
    if (!r.installed || !r.pending || r.request != request || r.building == request) return false;
    r.building = request;
    return true;
}

void BuildSwitcher(unsigned request, HWND requests) noexcept {
    if (!TakeRequest(request)) return;
    // The build runs the library's code on the main program's thread, dispatching messages
    // while it waits for its workers: another thread may unload the library meanwhile.
    const module::Hold held(requests);
    try {
        auto wnd = ui::MakeOwned<TVexloAltTabWnd>(&SwitcherGone, &TakeBacklog);
        // The desktops are gathered while the window is made.
        wnd->StartGathering();
        HWND made = wnd->Handle();
        // From here the window exists: the hooks post it what comes next, and it takes
        // what came before.
        int steps = 0;
        bool close = false, cancel = false;
        {
            Lock hold(RecordLock());
            HookRecord& r = g_record;
            if (r.request == request) {
                r.switcher = made;
                r.pending = false;
                steps = std::exchange(r.steps, 0);
                close = std::exchange(r.close, false);
                cancel = std::exchange(r.cancel, false);
            } else {
                cancel = true;  // a later request took its place (the hooks were reinstalled)
            }
        }
        // Nothing to show, or Escape came meanwhile: the window goes unshown, the host untold.
        if (wnd->Build(steps, close, cancel) && !wnd->CancelledBeforeShown() && StillWanted(made))
            wnd.release()->Present();
    } catch (...) {
        ReportCaught("Alt+Tab switcher", CurrentExceptionText());
    }
    Lock hold(RecordLock());
    if (g_record.request == request) g_record.pending = false;  // no window could be made
}

// A message-only window of the window thread: the hooks post it their requests for a
// switcher, and its timer gives desktops made after the installation their hooks.
class RequestWindow : public ui::Window {
public:
    static constexpr const char* kClassName = "TVexloAltTabRequests";

    static HWND Make() {
        auto* w = new RequestWindow();
        try {
            w->Create({.name = kClassName}, 0, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr);
        } catch (...) {
            delete w;
            throw;
        }
        w->HandOver();  // goes with its window
        return w->Hwnd();
    }

private:
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override {
        Lock hold(RecordLock());
        // A request still queued goes with the window: none is pending any more.
        if (g_record.requests == Hwnd()) {
            g_record.requests = nullptr;
            g_record.pending = false;
        }
    }
};

// --- Hook threads.

// The library is being unloaded by a thread that holds the loader lock and waits (with a
// time limit) for `done`. From that signal on this thread must run no more of the
// library's code, which is about to leave memory, and it cannot end at once either:
// ending takes the loader lock. So it signals `done` in the very call that starts an
// alertable wait on an event that nobody sets, and the unloading thread then queues it an
// APC that is kernel32's ExitThread: the APC runs in that wait, and the thread ends as
// soon as the loader lock is free, without ever coming back here. (The APC is queued only
// after the signal, so that it cannot run before the signal is given. The event's handle
// goes with the thread unclosed: one handle per hook thread and unload.)
[[noreturn]] void LeaveForUnload(HANDLE done) {
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (never) SignalObjectAndWait(done, never, INFINITE, TRUE);
    // Only when the system refused the above: the next best thing.
    SetEvent(done);
    for (;;) SleepEx(INFINITE, TRUE);
}

DWORD WINAPI HookThreadMain(void* param) {
    HookThread& t = *static_cast<HookThread*>(param);
    const HDESK home = GetThreadDesktop(GetCurrentThreadId());
    // Attached to its desktop before it makes its queue or its hook (a thread with either
    // cannot change its desktop).
    UniqueHdesk desktop = OpenDesktopByName(t.desktop, /*inheritable=*/false);
    if (!desktop || !SetThreadDesktop(desktop.get())) {
        SetEvent(t.ready);
        return 0;
    }
    t.held = desktop.get();
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue, for kHookStop
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, &AltTabHookProc, module::Instance(), 0);
    t.hooked = hook != nullptr;
    SetEvent(t.ready);
    bool unloading = false;
    if (hook) {
        // Nothing but the hook runs here: the system calls it inside GetMessage.
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (!msg.hwnd && msg.message == kHookStop) break;
            if (!msg.hwnd && msg.message == kHookUnload) {
                unloading = true;
                break;
            }
            DispatchMessageA(&msg);
        }
        t.unhooked = UnhookWindowsHookEx(hook) != FALSE;
    }
    SetThreadDesktop(home);
    desktop.reset();
    if (unloading) LeaveForUnload(t.done);
    return 0;
}

HookThread* FindThread(std::string_view desktop) {
    for (HookThread& t : g_threads)
        if (t.thread && desktop == t.desktop) return &t;
    return nullptr;
}

// A hook on the named desktop, unless there is one; true when it is in place.
bool EnsureHookThread(const std::string& desktop) {
    if (desktop.empty() || desktop.size() >= sizeof(HookThread::desktop)) return false;
    if (HookThread* known = FindThread(desktop)) return known->hooked;
    HookThread* t = nullptr;
    for (HookThread& slot : g_threads)
        if (!slot.thread) {
            t = &slot;
            break;
        }
    if (!t) return false;
    std::memcpy(t->desktop, desktop.c_str(), desktop.size() + 1);
    t->ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    t->done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (t->ready && t->done)
        t->thread = CreateThread(nullptr, kHookStack, &HookThreadMain, t, STACK_SIZE_PARAM_IS_A_RESERVATION, &t->id);
    if (!t->thread) {
        ClearSlot(*t);
        return false;
    }
    // It must answer the system in time, whatever else the process does.
    SetThreadPriority(t->thread, THREAD_PRIORITY_HIGHEST);
    HANDLE both[] = {t->ready, t->thread};
    WaitForMultipleObjects(2, both, FALSE, kStartTimeout);
    if (t->hooked) return true;
    WaitForSingleObject(t->thread, kJoinTimeout);
    ClearSlot(*t);
    return false;
}

BOOL CALLBACK CollectDesktop(LPSTR name, LPARAM param) {
    reinterpret_cast<std::vector<std::string>*>(param)->emplace_back(name);
    return TRUE;
}

// A hook thread holds its desktop (a handle and its attachment), and Windows destroys a
// desktop, and its heap, only when the last handle has gone and no thread is attached. So
// the threads of desktops that nobody else holds any longer (the main program deleted
// them) end here, and their slots are free again: only live desktops count against the 64.
// Whether anybody else holds a desktop is read from the desktop object's handle count
// (DesktopHeldElsewhere): looking the name up would not do, since the hook thread's own
// handle keeps the name alive.
void EndAbandonedHookThreads() {
    const std::string own = CurrentDesktopName();  // the window thread holds it anyway
    for (HookThread& t : g_threads) {
        if (!t.thread || !t.hooked || own == t.desktop || DesktopHeldElsewhere(t.held)) continue;
        PostThreadMessageA(t.id, kHookStop, 0, 0);
        // The hook threads never wait for this one: joining cannot deadlock.
        if (WaitForSingleObject(t.thread, kJoinTimeout) == WAIT_OBJECT_0) ClearSlot(t);
    }
}

// Every live product desktop of the window station gets a hook (the ones that have one
// keep it). A desktop that nobody holds is on its way out: a hook would keep it.
void HookProductDesktops() {
    EndAbandonedHookThreads();
    std::vector<std::string> names;
    EnumDesktopsA(GetProcessWindowStation(), &CollectDesktop, reinterpret_cast<LPARAM>(&names));
    for (const std::string& name : names) {
        if (!IsProductDesktopName(name) || FindThread(name)) continue;
        const UniqueHdesk probe = OpenDesktopByName(name, /*inheritable=*/false);
        if (probe && DesktopHeldElsewhere(probe.get())) EnsureHookThread(name);
    }
}

bool RequestWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (msg != kBuildSwitcher) return false;
    result = 0;
    // Touches nothing of this window afterwards: the host may remove the hooks (and this
    // window) while the switcher is being built.
    BuildSwitcher(static_cast<unsigned>(wp), Hwnd());
    return true;
}

void RequestWindow::OnTimer(UINT_PTR id) {
    if (id != kRescanTimer) return;
    bool installed;
    {
        Lock hold(RecordLock());
        installed = g_record.installed;
    }
    // Removed from another thread, which cannot stop this window's timer.
    if (installed) HookProductDesktops();
}

void ResetRecord() {
    Lock hold(RecordLock());
    HookRecord& r = g_record;
    r.keys.Reset();
    r.pending = r.close = r.cancel = false;
    r.steps = 0;
    r.cancelled = nullptr;
}

void DestroyRequestWindow() noexcept {
    HWND requests;
    {
        Lock hold(RecordLock());
        requests = g_record.requests;
    }
    // Only its own thread can destroy a window; the window clears the record itself. From
    // any other thread it stays, its timer doing nothing while the hooks are off; when the
    // library is unloaded, its procedure becomes DefWindowProc and it is closed on its own
    // thread (ui/library_windows.h).
    if (requests && GetWindowThreadProcessId(requests, nullptr) == GetCurrentThreadId()) DestroyWindow(requests);
}

// --- Unloading.
//
// The rule for DllMain at DLL_PROCESS_DETACH that this follows:
//  - lpReserved != NULL (the process is ending): the frame does nothing, and neither does
//    this. Every other thread, the hook threads included, is already gone, and the system
//    removes their hooks with them.
//  - lpReserved == NULL (FreeLibrary): the loader lock is held, so no thread may be waited
//    for to end (its end needs that lock: a deadlock). The hook threads are still running
//    code of the library, which is about to leave memory. Each is told to remove its hook
//    and hand itself over (LeaveForUnload), and only that hand-over is waited for, with a
//    time limit: it needs no lock. A thread that does not answer in time is terminated, as
//    the last resort against running code that is gone.
void UnloadHookThreads() noexcept {
    for (HookThread& t : g_threads)
        if (t.thread) PostThreadMessageA(t.id, kHookUnload, 0, 0);
    const auto exitThread = SystemFunction<PAPCFUNC>("kernel32.dll", "ExitThread");
    for (HookThread& t : g_threads) {
        if (!t.thread) continue;
        HANDLE either[] = {t.done, t.thread};  // the thread may have ended before (no hook)
        const DWORD r = WaitForMultipleObjects(2, either, FALSE, kUnloadTimeout);
        if (r == WAIT_OBJECT_0 && exitThread && QueueUserAPC(exitThread, t.thread, 0)) {
            // Parked in its alertable wait: it ends there once the loader lock is free.
        } else if (r != WAIT_OBJECT_0 + 1) {
            ReportCaught("Alt+Tab hook", "a hook thread did not hand itself over for the unload: terminated");
            TerminateThread(t.thread, 1);
        }
        ClearSlot(t);
    }
    DestroyRequestWindow();
    ResetRecord();
}

}  // namespace

LRESULT CALLBACK AltTabHookProc(int code, WPARAM wp, LPARAM lp) {
    // The next hook's handle is ignored by every NT system; the hook threads keep theirs.
    return GuardedHook("AltTabHook", nullptr, code, wp, lp, [&] {
        if (code != HC_ACTION) return HookResult::Pass();
        const KBDLLHOOKSTRUCT event = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp);
        return OnKey(event, wp);
    });
}

bool InstallAltTabHook() {
    module::StoredHooks().altTab.run = &UnloadHookThreads;
    HWND requests;
    {
        Lock hold(RecordLock());
        requests = g_record.requests;
    }
    if (!requests) {
        requests = RequestWindow::Make();
        Lock hold(RecordLock());
        g_record.requests = requests;
    }
    // Whatever the record held was seen by hooks that were not there all the time.
    ResetRecord();
    {
        Lock hold(RecordLock());
        g_record.installed = true;
    }
    const bool ok = EnsureHookThread(CurrentDesktopName());
    HookProductDesktops();
    SetTimer(requests, kRescanTimer, kRescanMs, nullptr);
    return ok;
}

bool RemoveAltTabHook() {
    bool any = false, ok = true;
    for (HookThread& t : g_threads)
        if (t.thread) {
            any = true;
            PostThreadMessageA(t.id, kHookStop, 0, 0);
        }
    // The hook threads never wait for this one, so joining them here cannot deadlock.
    for (HookThread& t : g_threads) {
        if (!t.thread) continue;
        if (WaitForSingleObject(t.thread, kJoinTimeout) != WAIT_OBJECT_0) {
            ok = false;  // keeps its slot (it still writes there); the next removal asks again
            continue;
        }
        ok = t.unhooked && ok;
        ClearSlot(t);
    }
    {
        Lock hold(RecordLock());
        g_record.installed = false;
    }
    DestroyRequestWindow();
    ResetRecord();
    return any && ok;
}

}  // namespace vexlo::switching
