// Reads the library's windows from another process, the way a screen reader does: through
// Active Accessibility (oleacc) and out-of-context win events. Prints one line per object
// or event, fields separated by tabs, for the tests to parse.
//   screen_reader walk <hwnd>
//       the window and every visible window below it:
//       W <ctrl id> <class> <role> <state hex> <name> <value> <default action>
//   screen_reader events <pid> <ms> <ready event name>
//       the events a reader speaks (focus, selection, value, name, switch) of the process
//       until SWITCHEND (or ms pass):
//       E <event> <ctrl id> <object id> <child id> <role> <state hex> <name> <value>
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* s, UINT len) {
    if (!s || !len) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, s, static_cast<int>(len), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s, static_cast<int>(len), out.data(), n, nullptr, nullptr);
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return out;
}

std::string Take(BSTR s) {
    std::string out = Utf8(s, s ? SysStringLen(s) : 0);
    if (s) SysFreeString(s);
    return out;
}

struct Answer {
    long role = 0, state = 0;
    std::string name, value, action;
};

Answer Ask(IAccessible* acc, VARIANT child) {
    Answer a;
    VARIANT v;
    VariantInit(&v);
    if (acc->get_accRole(child, &v) == S_OK && v.vt == VT_I4) a.role = v.lVal;
    VariantClear(&v);
    if (acc->get_accState(child, &v) == S_OK && v.vt == VT_I4) a.state = v.lVal;
    VariantClear(&v);
    BSTR s = nullptr;
    if (acc->get_accName(child, &s) == S_OK) a.name = Take(s);
    s = nullptr;
    if (acc->get_accValue(child, &s) == S_OK) a.value = Take(s);
    s = nullptr;
    if (acc->get_accDefaultAction(child, &s) == S_OK) a.action = Take(s);
    return a;
}

void PrintWindow(HWND wnd) {
    char cls[64] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    IAccessible* acc = nullptr;
    Answer a;
    if (SUCCEEDED(AccessibleObjectFromWindow(wnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                             reinterpret_cast<void**>(&acc))) && acc) {
        VARIANT self;
        VariantInit(&self);
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        a = Ask(acc, self);
        acc->Release();
    }
    std::printf("W\t%d\t%s\t%ld\t%lx\t%s\t%s\t%s\n", GetDlgCtrlID(wnd), cls, a.role, a.state, a.name.c_str(),
                a.value.c_str(), a.action.c_str());
}

BOOL CALLBACK PrintChild(HWND wnd, LPARAM) {
    if (IsWindowVisible(wnd)) PrintWindow(wnd);
    return TRUE;
}

int Walk(HWND top) {
    if (!IsWindow(top)) return 2;
    PrintWindow(top);
    EnumChildWindows(top, &PrintChild, 0);
    std::fflush(stdout);
    return 0;
}

bool switchEnded = false;
DWORD process = 0;

void Speak(DWORD event, HWND wnd, LONG object, LONG child) {
    // Screen readers ask about the object at once, while it still stands.
    IAccessible* acc = nullptr;
    VARIANT id;
    VariantInit(&id);
    Answer a;
    if (SUCCEEDED(AccessibleObjectFromEvent(wnd, static_cast<DWORD>(object), static_cast<DWORD>(child), &acc, &id)) && acc) {
        a = Ask(acc, id);
        acc->Release();
    }
    VariantClear(&id);
    std::printf("E\t%lx\t%d\t%ld\t%ld\t%ld\t%lx\t%s\t%s\n", event, GetDlgCtrlID(wnd), object, child, a.role, a.state,
                a.name.c_str(), a.value.c_str());
    std::fflush(stdout);
}

struct Pending {
    DWORD event;
    HWND wnd;
    LONG object, child;
};
std::vector<Pending> pending;
bool speaking = false;

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND wnd, LONG object, LONG child, DWORD, DWORD) {
    const bool spoken = event == EVENT_OBJECT_FOCUS || event == EVENT_OBJECT_SELECTION || event == EVENT_OBJECT_VALUECHANGE ||
                        event == EVENT_OBJECT_NAMECHANGE || event == EVENT_SYSTEM_SWITCHSTART || event == EVENT_SYSTEM_SWITCHEND;
    DWORD from = 0;
    if (!spoken || !wnd || !GetWindowThreadProcessId(wnd, &from) || from != process) return;
    if (event == EVENT_SYSTEM_SWITCHEND) switchEnded = true;
    // Asking about an event lets the next ones in: they wait their turn, in order.
    pending.push_back({event, wnd, object, child});
    if (speaking) return;
    speaking = true;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        const Pending p = pending[i];
        Speak(p.event, p.wnd, p.object, p.child);
    }
    pending.clear();
    speaking = false;
}

int Events(DWORD pid, DWORD ms, const char* ready) {
    // Every process's events, sorted here: Wine 8 delivers nothing to a hook for one process.
    process = pid;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, &OnEvent, 0, 0,
                                         WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (!hook) return 3;
    if (HANDLE e = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready)) {
        SetEvent(e);
        CloseHandle(e);
    }
    const DWORD end = GetTickCount() + ms;
    // The events of the switch's end come in a burst: take what follows it too.
    DWORD endSeen = 0;
    while (GetTickCount() < end && (!endSeen || GetTickCount() - endSeen < 300)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (switchEnded && !endSeen) endSeen = GetTickCount();
    }
    UnhookWinEvent(hook);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CoInitialize(nullptr);
    int rc = 1;
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "walk" && argc > 2)
        rc = Walk(reinterpret_cast<HWND>(static_cast<LONG_PTR>(std::strtoll(argv[2], nullptr, 0))));
    else if (mode == "events" && argc > 4)
        rc = Events(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 0)), static_cast<DWORD>(std::strtoul(argv[3], nullptr, 0)),
                    argv[4]);
    CoUninitialize();
    return rc;
}
