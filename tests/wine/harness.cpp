#include "harness.h"

#include "host/import_slot.h"
#include "switching/frmAltTab.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shlwapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "ui/password_box.h"

// Pushes the arguments, calls, and measures the stack pointer before and after.
// uint32_t vexlo_call_stdcall(void* fn, const uint32_t* args, int count, int32_t* delta)
asm(R"(
    .text
    .globl _vexlo_call_stdcall
_vexlo_call_stdcall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    movl %esp, %edi
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    movl %esp, %ecx
    subl %edi, %ecx
    movl %edi, %esp
    movl 20(%ebp), %edx
    movl %ecx, (%edx)
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");
extern "C" std::uint32_t vexlo_call_stdcall(void* fn, const std::uint32_t* args, int count,
                                            std::int32_t* delta);

namespace harness {

std::string ExeDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

HMODULE Vexlo() {
    static HMODULE dll = LoadLibraryA((ExeDir() + "Vexlo.dll").c_str());
    return dll;
}

StdcallResult CallStdcall(const char* exportName, std::initializer_list<std::uint32_t> args) {
    void* fn = reinterpret_cast<void*>(GetProcAddress(Vexlo(), exportName));
    if (!fn) return {0, 0x7fffffff};
    std::vector<std::uint32_t> a(args);
    StdcallResult r{};
    r.value = vexlo_call_stdcall(fn, a.data(), static_cast<int>(a.size()), &r.stackDelta);
    return r;
}

std::vector<BYTE> Short(const std::string& s) {
    std::vector<BYTE> buf(256, 0);
    const size_t n = s.size() > 255 ? 255 : s.size();
    buf[0] = static_cast<BYTE>(n);
    std::memcpy(buf.data() + 1, s.data(), n);
    return buf;
}

std::string FromShort(const BYTE* buf) { return std::string(reinterpret_cast<const char*>(buf + 1), buf[0]); }

Recorder::Recorder() {
    static const char* kClass = "HarnessRecorder";
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);
    wnd_ = CreateWindowA(kClass, "recorder", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                         wc.hInstance, nullptr);
    SetWindowLongPtrA(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Recorder::~Recorder() { DestroyWindow(wnd_); }

LRESULT CALLBACK Recorder::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Recorder*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (self && msg >= WM_USER && msg < 0xC000) {
        std::lock_guard<std::mutex> lock(self->mu_);
        self->log_.push_back({msg, wp, lp});
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

std::vector<Recorder::Message> Recorder::Messages() const {
    std::lock_guard<std::mutex> lock(mu_);
    return log_;
}

size_t Recorder::Count(UINT msg) const {
    std::lock_guard<std::mutex> lock(mu_);
    size_t n = 0;
    for (const auto& m : log_) n += m.msg == msg;
    return n;
}

bool Recorder::WaitFor(UINT msg, DWORD timeoutMs) const {
    return WaitUntil([&] { return Count(msg) > 0; }, timeoutMs);
}

bool Drive(const std::function<void()>& drive, DWORD timeoutMs) {
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread driver([&] {
        drive();
        SetEvent(done);
    });
    const DWORD start = GetTickCount();
    bool finished = false;
    while (GetTickCount() - start < timeoutMs) {
        const DWORD w = MsgWaitForMultipleObjects(1, &done, FALSE, 50, QS_ALLINPUT);
        if (w == WAIT_OBJECT_0) {
            finished = true;
            break;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (!finished) {
        // Keep pumping so a driver blocked in a SendMessage can end.
        while (WaitForSingleObject(done, 0) != WAIT_OBJECT_0) Pump(50);
    }
    driver.join();
    CloseHandle(done);
    Pump(50);
    return finished;
}

void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!cond()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

namespace {
struct FindArgs {
    const char* cls;
    HWND found;
};
BOOL CALLBACK FindProc(HWND wnd, LPARAM lp) {
    auto* a = reinterpret_cast<FindArgs*>(lp);
    char cls[128] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (IsWindowVisible(wnd) && std::strcmp(cls, a->cls) == 0) {
        a->found = wnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindThreadWindow(DWORD threadId, const char* className) {
    FindArgs a{className, nullptr};
    EnumThreadWindows(threadId, FindProc, reinterpret_cast<LPARAM>(&a));
    return a.found;
}

namespace {
UINT RunHereMessage() {
    static const UINT message = RegisterWindowMessageA("VexloTests.RunOnWindowThread");
    return message;
}

LRESULT CALLBACK RunHereHook(int code, WPARAM wp, LPARAM lp) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && call->message == RunHereMessage())
        (*reinterpret_cast<const std::function<void()>*>(call->lParam))();
    return CallNextHookEx(nullptr, code, wp, lp);
}
}  // namespace

void RunOnWindowThread(HWND wnd, const std::function<void()>& work) {
    const DWORD thread = GetWindowThreadProcessId(wnd, nullptr);
    if (thread == GetCurrentThreadId()) return work();
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, &RunHereHook, nullptr, thread);
    ASSERT_NE(hook, nullptr) << "no hook on the window's thread";
    SendMessageA(wnd, RunHereMessage(), 0, reinterpret_cast<LPARAM>(&work));
    UnhookWindowsHookEx(hook);
}

std::string Text(HWND wnd) {
    if (vexlo::ui::IsPasswordBox(wnd)) {
        std::string text = "(not read)";
        RunOnWindowThread(wnd, [&] { text = vexlo::ui::PasswordBoxText(wnd); });
        return text;
    }
    char buf[1024] = {};
    // WM_GETTEXT works across threads, also for controls of another thread.
    SendMessageA(wnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return buf;
}

RECT ChildRect(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT ClientRect(HWND wnd) {
    RECT r;
    GetClientRect(wnd, &r);
    return r;
}

HWND FocusOf(DWORD threadId) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(threadId, &info) ? info.hwndFocus : nullptr;
}

void PostKey(HWND target, UINT vk, bool alt) {
    const UINT scan = MapVirtualKeyA(vk, 0);
    LPARAM lp = 1 | (static_cast<LPARAM>(scan) << 16);
    if (alt) lp |= 1 << 29;
    const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN, up = alt ? WM_SYSKEYUP : WM_KEYUP;
    PostMessageA(target, down, vk, lp);
    if (vk == VK_RETURN || vk == VK_ESCAPE) PostMessageA(target, alt ? WM_SYSCHAR : WM_CHAR, vk == VK_RETURN ? '\r' : 27, lp);
    PostMessageA(target, up, vk, lp | (1u << 30) | (1u << 31));
}

MessageBoxSeen AnswerMessageBox(DWORD threadId, DWORD timeoutMs) {
    MessageBoxSeen seen;
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = FindThreadWindow(threadId, "#32770")) != nullptr; }, timeoutMs))
        return seen;
    seen.shown = true;
    seen.title = Text(box);
    seen.text = Text(GetDlgItem(box, 0xFFFF));
    // The icon is a static control showing the system's warning icon.
    HWND iconCtl = GetDlgItem(box, 0x14);
    if (iconCtl) {
        const HICON shown = reinterpret_cast<HICON>(SendMessageA(iconCtl, STM_GETICON, 0, 0));
        seen.hasWarningIcon = shown && shown == LoadIcon(nullptr, IDI_WARNING);
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    WaitUntil([&] { return !IsWindow(box); }, timeoutMs);
    return seen;
}

void DeleteProductKey() { SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Brindlecote"); }

void SetLastUser(const std::string& name) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Brindlecote\\Quillmere", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "LastUser", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>(name.size() + 1));
        RegCloseKey(key);
    }
}

std::string ReadLastUser(bool* exists) {
    char buf[512] = {};
    DWORD size = sizeof buf, type = 0;
    const LONG rc = RegGetValueA(HKEY_CURRENT_USER, "Software\\Brindlecote\\Quillmere", "LastUser",
                                 RRF_RT_ANY, &type, buf, &size);
    if (exists) *exists = rc == ERROR_SUCCESS;
    return rc == ERROR_SUCCESS ? std::string(buf) : std::string();
}

}  // namespace harness

namespace harness {

HWND Control(HWND form, int id) {
    if (HWND direct = GetDlgItem(form, id)) return direct;
    for (HWND child = GetWindow(form, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (HWND found = Control(child, id)) return found;
    return nullptr;
}

std::uint32_t RunModalDialog(const char* className, const std::function<std::uint32_t()>& call,
                             const std::function<void(Dialog)>& drive) {
    const DWORD ui = GetCurrentThreadId();
    std::thread driver([&] {
        HWND dlg = nullptr;
        if (!WaitUntil([&] { return (dlg = FindThreadWindow(ui, className)) != nullptr; }, 5000)) {
            ADD_FAILURE() << "no window of class " << className << " appeared";
            return;
        }
        drive(dlg);
        if (!Dialog(dlg).WaitGone(3000)) PostMessageA(dlg, WM_CLOSE, 0, 0);
    });
    const std::uint32_t result = call();
    driver.join();
    return result;
}

std::string Dialog::ItemText(int id, int index) const {
    const LRESULT n = Send(id, CB_GETLBTEXTLEN, index);
    if (n < 0) return "(no item)";
    std::string text(static_cast<size_t>(n) + 1, '\0');
    Send(id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(n));
    return text;
}

int Dialog::Radio(int group, int count) const {
    int chosen = -1;
    for (int i = 0; i < count; ++i)
        if (Checked(RadioItem(group, i))) {
            EXPECT_EQ(chosen, -1) << "two items chosen in " << group;
            chosen = i;
        }
    return chosen;
}

void Dialog::Type(int id, const char* text) const {
    // The end, however long the text (a password box tells other threads no length).
    Send(id, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
    for (const char* p = text; *p; ++p) Send(id, WM_CHAR, static_cast<unsigned char>(*p), 1);
}

void Dialog::Pick(int id, int index) const {
    HWND list = Item(id);
    SendMessageA(list, CB_SETCURSEL, index, 0);
    SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void Dialog::ClickTab(int id, int index) const {
    RECT r{};
    Send(id, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    Send(id, WM_LBUTTONDOWN, MK_LBUTTON, at);
    Send(id, WM_LBUTTONUP, 0, at);
}

bool Dialog::Focus(int id) const {
    HWND target = Item(id);
    PostMessageA(wnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
    return WaitUntil([&] { return Focused() == target; });
}

bool Dialog::WaitGone(DWORD timeoutMs) const {
    return WaitUntil([&] { return !IsWindow(wnd_); }, timeoutMs);
}

HWND PresentSwitcher() {
    auto form = vexlo::ui::MakeOwned<vexlo::switching::TVexloAltTabWnd>();
    form->Build(0, false, false);
    HWND wnd = form->Handle();
    form.release()->Present();
    return wnd;
}

void CheckModal(const char* className, const std::function<std::uint32_t()>& call,
                const std::function<void(Dialog)>& check) {
    bool seen = false;
    RunModalDialog(className, call, [&](Dialog d) {
        seen = true;
        check(d);
    });
    EXPECT_TRUE(seen) << className << " never showed";
}

ImportHook::ImportHook(const char* dll, const char* function, void* replacement, HMODULE module) {
    slot_ = vexlo::host::ImportSlot(module ? module : Vexlo(), dll, function);
    if (slot_) original_ = vexlo::host::SwapImport(slot_, replacement);
}

namespace {

HWND g_seamWindow = nullptr;
UINT g_seamDpi = 0;

UINT WINAPI SeamDpiForWindow(HWND wnd) {
    if (wnd == g_seamWindow && g_seamDpi) return g_seamDpi;
    using Fn = UINT(WINAPI*)(HWND);
    auto real = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    return real ? real(wnd) : 96;
}

FARPROC WINAPI SeamGetProcAddress(HMODULE module, LPCSTR name) {
    if (HIWORD(reinterpret_cast<UINT_PTR>(name)) && std::strcmp(name, "GetDpiForWindow") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&SeamDpiForWindow));
    return GetProcAddress(module, name);
}

}  // namespace

DpiSeam::DpiSeam() : hook_("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(&SeamGetProcAddress)) {}

void DpiSeam::Set(HWND wnd, int dpi) {
    g_seamWindow = wnd;
    g_seamDpi = static_cast<UINT>(dpi);
}

ImportHook::~ImportHook() {
    if (slot_) vexlo::host::SwapImport(slot_, original_);
}

void ExpectTabOrder(HWND form, std::initializer_list<int> ids) {
    for (auto it = ids.begin(); it + 1 < ids.end(); ++it)
        EXPECT_EQ(GetNextDlgTabItem(form, Control(form, *it), FALSE), Control(form, it[1])) << "after " << *it;
}

void ExpectCentredOnDesktop(HWND wnd) {
    RECT r;
    GetWindowRect(wnd, &r);
    const int cx = GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN) / 2;
    const int cy = GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN) / 2;
    EXPECT_LE(std::abs((r.left + r.right) / 2 - cx), 1);
    EXPECT_LE(std::abs((r.top + r.bottom) / 2 - cy), 1);
}

void ExpectPlaces(HWND form, std::initializer_list<ControlPlace> places) {
    for (const ControlPlace& e : places) {
        HWND c = Control(form, e.id);
        EXPECT_NE(c, nullptr) << e.id;
        if (!c) continue;
        const RECT r = ChildRect(c);
        EXPECT_EQ(r.left, e.left) << e.id;
        EXPECT_EQ(r.top, e.top) << e.id;
        if (e.width >= 0) EXPECT_EQ(r.right - r.left, e.width) << e.id;
        if (e.height >= 0) EXPECT_EQ(r.bottom - r.top, e.height) << e.id;
        if (e.text) EXPECT_EQ(Text(c), e.text) << e.id;
    }
}

}  // namespace harness

namespace harness {

HANDLE StartProgram(const std::string& commandLine, const std::string& outFile) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(outFile.empty() ? "NUL" : outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &sa, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    // Detached, with a file rather than a pipe: nothing the program leaves running can
    // hold the test waiting for an end of output.
    const BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr,
                                   &si, &pi);
    CloseHandle(out);
    if (!ok) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

std::string RunHostOutput(const std::string& args, DWORD timeoutMs) {
    return RunProgramOutput("\"" + ExeDir() + "VexloHost.exe\" " + args, timeoutMs);
}

std::string ScreenReaderCommand() { return "\"" + ExeDir() + "vexlo_screen_reader.exe\" "; }

ScreenReaderEvents::ScreenReaderEvents(DWORD pid, DWORD msLimit) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    outFile_ = std::string(temp) + "vexlo_reader_events.txt";
    const std::string ready = "VexloReaderListening";
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, ready.c_str());
    process_ = StartProgram(ScreenReaderCommand() + "events " + std::to_string(pid) + " " + std::to_string(msLimit) + " " +
                                ready,
                            outFile_);
    HANDLE both[] = {event, process_};
    listening_ = process_ && WaitForMultipleObjects(2, both, FALSE, 10000) == WAIT_OBJECT_0;
    CloseHandle(event);
}

ScreenReaderEvents::~ScreenReaderEvents() {
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 1);
    CloseHandle(process_);
    DeleteFileA(outFile_.c_str());
}

std::vector<std::string> ScreenReaderEvents::Finish(DWORD timeoutMs) {
    std::vector<std::string> lines;
    if (!process_) return lines;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs &&
           MsgWaitForMultipleObjects(1, &process_, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0)
        Pump(0);
    HANDLE in = CreateFileA(outFile_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
    std::string text;
    char buf[4096];
    DWORD got = 0;
    while (in != INVALID_HANDLE_VALUE && ReadFile(in, buf, sizeof buf, &got, nullptr) && got > 0) text.append(buf, got);
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line.push_back(c);
        }
    }
    return lines;
}

std::string Win64Bin() {
    std::string path = VEXLO_WIN64_BIN;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;  // Wine shows the Unix root as Z:
    for (char& c : path)
        if (c == '/') c = '\\';
    return path + "\\";
}

std::string RunProgramOutput(const std::string& commandLine, DWORD timeoutMs) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string outFile = std::string(temp) + "vexlo_host_output.txt";
    HANDLE process = StartProgram(commandLine, outFile);
    if (!process) return "(program did not start)";
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) TerminateProcess(process, 1);
    CloseHandle(process);
    std::string text;
    HANDLE in = CreateFileA(outFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    char buf[4096];
    DWORD got = 0;
    while (in != INVALID_HANDLE_VALUE && ReadFile(in, buf, sizeof buf, &got, nullptr) && got > 0) text.append(buf, got);
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    DeleteFileA(outFile.c_str());
    return text;
}

IDataObject* ShellDataObject(const std::vector<std::wstring>& paths) {
    std::vector<LPITEMIDLIST> items;
    for (const auto& p : paths) {
        LPITEMIDLIST item = nullptr;
        if (SUCCEEDED(SHParseDisplayName(p.c_str(), nullptr, &item, 0, nullptr))) items.push_back(item);
    }
    IDataObject* data = nullptr;
    IShellFolder* parent = nullptr;
    LPCITEMIDLIST child = nullptr;
    if (!items.empty() && items.size() == paths.size() &&
        SUCCEEDED(SHBindToParent(items[0], __uuidof(IShellFolder), reinterpret_cast<void**>(&parent), &child))) {
        std::vector<LPCITEMIDLIST> children;
        for (auto item : items) children.push_back(ILFindLastID(item));
        parent->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(), __uuidof(IDataObject),
                              nullptr, reinterpret_cast<void**>(&data));
        parent->Release();
    }
    for (auto item : items) CoTaskMemFree(item);
    return data;
}

}  // namespace harness
