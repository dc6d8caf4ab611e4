#include "switching/uTaskManager.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <new>
#include <vector>

#include "shared/handles.h"
#include "shared/system_function.h"
#include "switching/app_rules.h"
#include "switching/switch_text.h"

namespace vexlo::switching {

namespace {

template <typename Record>
Record& Append(TvxList& list) {
    return *new (list.NewItem()) Record{};
}

HWND RootOwner(HWND wnd) {
    // Bounded, so an owner chain that loops (a window being re-owned during the walk) ends.
    for (int depth = 0; depth < 64; ++depth) {
        HWND owner = GetWindow(wnd, GW_OWNER);
        if (!owner) break;
        wnd = owner;
    }
    return wnd;
}

ShortString TitleOf(HWND wnd, DWORD processId) {
    char text[1024] = {};
    // A window of this process may belong to a thread that is waiting for us (the switcher
    // waits for its workers): read its text without sending it a message.
    if (processId == GetCurrentProcessId()) {
        wchar_t wide[512] = {};
        const int n = InternalGetWindowText(wnd, wide, 512);
        WideCharToMultiByte(CP_ACP, 0, wide, n, text, sizeof text - 1, nullptr, nullptr);
    } else {
        GetWindowTextA(wnd, text, sizeof text);
    }
    return ShortString::From(text);
}

// The snapshot functions, looked up once: systems without them list no processes.
struct Toolhelp {
    decltype(&CreateToolhelp32Snapshot) snapshot = nullptr;
    decltype(&Process32First) first = nullptr;
    decltype(&Process32Next) next = nullptr;
};

const Toolhelp& ToolhelpFunctions() {
    static const Toolhelp functions = [] {
        Toolhelp t;
        const HMODULE kernel = GetModuleHandleA("kernel32.dll");
        t.snapshot = SystemFunction<decltype(t.snapshot)>(kernel, "CreateToolhelp32Snapshot");
        t.first = SystemFunction<decltype(t.first)>(kernel, "Process32First");
        t.next = SystemFunction<decltype(t.next)>(kernel, "Process32Next");
        return t;
    }();
    return functions;
}

// DwmGetWindowAttribute, looked up at run time: dwmapi.dll is missing before Vista.
using DwmGetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);
constexpr DWORD kDwmwaCloaked = 14;  // DWMWA_CLOAKED, Windows 8 and later

DwmGetWindowAttributeFn DwmAttributeFunction() {
    static const DwmGetWindowAttributeFn get = [] {
        HMODULE dwm = LoadLibraryA("dwmapi.dll");  // kept for the process's life
        return SystemFunction<DwmGetWindowAttributeFn>(dwm, "DwmGetWindowAttribute");
    }();
    return get;
}

// The window manager keeps the window off the screen: an app of another virtual desktop,
// a suspended store app. A system that cannot say (no dwmapi, an older Windows, Wine)
// cloaks nothing.
bool IsCloaked(HWND wnd) {
    const DwmGetWindowAttributeFn get = DwmAttributeFunction();
    DWORD cloaked = 0;
    return get && SUCCEEDED(get(wnd, kDwmwaCloaked, &cloaked, sizeof cloaked)) && cloaked != 0;
}

// The least the details need: the image name and times, the priority and the memory
// counters. Full access is refused for other accounts' and elevated processes, exactly
// the ones Run As starts; limited query access is granted for them (Vista and later), and
// older systems, which lack it, refuse it as an invalid parameter. Never inherited.
UniqueHandle OpenForQuery(std::uint32_t processId) {
#ifndef PROCESS_QUERY_LIMITED_INFORMATION
    constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
#endif
    if (HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, processId))
        return UniqueHandle(p);
    if (HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId)) return UniqueHandle(p);
    return UniqueHandle(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
}

}  // namespace

void ListTopWindows(TvxList& windows) {
    windows.Clear();
    std::vector<TopWindowFacts> zOrder;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        zOrder.push_back({reinterpret_cast<WindowId>(w), reinterpret_cast<WindowId>(RootOwner(w)),
                          IsWindowVisible(w) != FALSE});
        if (zOrder.size() > 100000) break;  // a desktop whose windows churn endlessly
    }
    for (WindowId id : RootOwnersToRecord(zOrder)) {
        HWND root = reinterpret_cast<HWND>(id);
        TWindowRecord& r = Append<TWindowRecord>(windows);
        DWORD pid = 0;
        GetWindowThreadProcessId(root, &pid);
        r.Wnd = root;
        r.ProcessID = pid;
        r.Icon = reinterpret_cast<HICON>(GetClassLongPtrA(root, GCLP_HICON));
        r.Title = TitleOf(root, pid);
        r.Visible = IsWindowVisible(root) != FALSE;
    }
}

void ListProcesses(TvxList& processes) {
    processes.Clear();
    const Toolhelp& th = ToolhelpFunctions();
    if (!th.snapshot || !th.first || !th.next) return;
    UniqueHandle snap(th.snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap || snap.get() == INVALID_HANDLE_VALUE) {
        snap.release();
        return;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = th.first(snap.get(), &entry); more; more = th.next(snap.get(), &entry)) {
        TProcessRecord& r = Append<TProcessRecord>(processes);
        r.ProcessID = entry.th32ProcessID;
        std::string name(entry.szExeFile, strnlen(entry.szExeFile, sizeof entry.szExeFile));
        CharUpperBuffA(name.data(), static_cast<DWORD>(name.size()));
        r.FileName = ShortString::From(name);
        entry.dwSize = sizeof entry;
    }
}

SharedProcessList::SharedProcessList() : processes_(MakeList<TProcessRecord>()) {}

const TvxList& SharedProcessList::Get() {
    Lock hold(lock_);
    if (!taken_) {
        ListProcesses(processes_);
        taken_ = true;
    }
    return processes_;
}

void ListApps(TvxList& apps) {
    SharedProcessList processes;
    ListApps(apps, processes);
}

void ListApps(TvxList& apps, SharedProcessList& shared) {
    apps.Clear();
    TvxList windows = MakeList<TWindowRecord>();
    // The windows first: every listed window's process is then in a snapshot taken after
    // them, and the other desktops' threads have taken it meanwhile.
    ListTopWindows(windows);
    const TvxList& processes = shared.Get();
    const DWORD self = GetCurrentProcessId();
    // The shell's own desktop window ("Program Manager") of the calling thread's desktop.
    const HWND shell = GetShellWindow();
    for (std::int32_t i = 0; i < windows.Count(); ++i) {
        const TWindowRecord& w = At<TWindowRecord>(windows, i);
        const TProcessRecord* process = nullptr;
        for (std::int32_t k = 0; k < processes.Count() && !process; ++k)
            if (At<TProcessRecord>(processes, k).ProcessID == w.ProcessID) process = &At<TProcessRecord>(processes, k);
        AppWindowFacts facts{w.ProcessID, process != nullptr, w.Visible, w.Title.View(),
                             static_cast<std::uint32_t>(GetWindowLongA(w.Wnd, GWL_EXSTYLE))};
        facts.shellWindow = shell && w.Wnd == shell;
        // Asked last, and only of a window that would qualify otherwise.
        if (QualifiesAsApp(facts, self)) facts.cloaked = IsCloaked(w.Wnd);
        if (!QualifiesAsApp(facts, self)) continue;
        TAppEntry& a = Append<TAppEntry>(apps);
        a.FileName = process->FileName;
        a.Title = w.Title;
        a.ProcessID = w.ProcessID;
        a.Icon = w.Icon;
        a.Wnd = w.Wnd;
        a.Item = -1;
    }
}

std::uint32_t ProcessPriorityClass(std::uint32_t processId) {
    UniqueHandle process = OpenForQuery(processId);
    return process ? GetPriorityClass(process.get()) : 0;
}

std::string ProcessPriorityName(std::uint32_t processId) {
    return std::string(PriorityClassName(ProcessPriorityClass(processId)));
}

std::uint32_t ProcessMemory(std::uint32_t processId) {
    UniqueHandle process = OpenForQuery(processId);
    if (!process) return 0;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process.get(), &counters, sizeof counters)) return 0;
    return static_cast<std::uint32_t>(counters.WorkingSetSize);
}

}  // namespace vexlo::switching
