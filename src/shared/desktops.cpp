#include "shared/desktops.h"

#include "shared/guard.h"
#include "shared/system_function.h"

namespace vexlo {

namespace {

constexpr ACCESS_MASK kAllDesktopRights = 0x1FF;
constexpr DWORD kAllowOtherAccountHook = DF_ALLOWOTHERACCOUNTHOOK;

}  // namespace

std::string DesktopName(HDESK desktop) {
    char name[256] = {};
    DWORD needed = 0;
    if (!desktop || !GetUserObjectInformationA(desktop, UOI_NAME, name, 255, &needed)) return {};
    name[255] = '\0';
    return name;
}

std::string CurrentDesktopName() { return DesktopName(GetThreadDesktop(GetCurrentThreadId())); }

UniqueHdesk OpenInputDesktopAll() {
    return UniqueHdesk(OpenInputDesktop(kAllowOtherAccountHook, TRUE, kAllDesktopRights));
}

UniqueHdesk OpenDesktopByName(const std::string& name, bool inheritable) {
    return UniqueHdesk(OpenDesktopA(name.c_str(), kAllowOtherAccountHook, inheritable ? TRUE : FALSE, kAllDesktopRights));
}

bool DesktopHeldElsewhere(HDESK mine, unsigned ownHandles) {
    // The public part of the object's basic information (winternl.h, NtQueryObject).
    struct BasicInformation {
        ULONG attributes;
        ACCESS_MASK grantedAccess;
        ULONG handleCount;
        ULONG pointerCount;
        ULONG reserved[10];
    };
    using QueryObjectFn = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = SystemFunction<QueryObjectFn>("ntdll.dll", "NtQueryObject");
    BasicInformation info{};
    ULONG got = 0;
    if (!mine || !query || query(mine, 0 /* ObjectBasicInformation */, &info, sizeof info, &got) < 0) return true;
    return info.handleCount > ownHandles;
}

void PostIfDesktop(const std::string& name, HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (OpenDesktopByName(name)) PostMessageA(wnd, msg, wp, lp);
}

void ProcessMessages(HWND wnd) {
    MSG msg;
    while (PeekMessageA(&msg, wnd, 0, 0, PM_REMOVE)) {
        try {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } catch (...) {
            ReportCaught("ProcessMessages", CurrentExceptionText());
        }
    }
}

}  // namespace vexlo
