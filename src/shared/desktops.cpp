#include "shared/desktops.h"

#include "shared/guard.h"

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

UniqueHdesk OpenDesktopByName(const std::string& name) {
    return UniqueHdesk(OpenDesktopA(name.c_str(), kAllowOtherAccountHook, TRUE, kAllDesktopRights));
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
