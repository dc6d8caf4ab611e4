// The product exports: thin functions that check their arguments, call the module that
// does the work, and map any failure to the export's negative result.
#include <windows.h>

#include <cstdint>

#include "dialogs/frmAbout.h"
#include "dialogs/frmLogon.h"
#include "dialogs/frmNewPass.h"
#include "shared/guard.h"
#include "remote/frmRDPSettings.h"
#include "remote/frmRFBSettings.h"

using namespace vexlo;

extern "C" {

BOOL WINAPI GetNewPassword(HWND appWindow, HICON icon, std::uint8_t* userName,
                           std::uint8_t* password) {
    return Guarded<BOOL>(FALSE, "GetNewPassword", [&] {
        return GetNewPasswordOwned(appWindow, icon, userName, password) ? TRUE : FALSE;
    });
}

BOOL WINAPI GetNewPasswordThrd(HICON icon, std::uint8_t* userName, std::uint8_t* password) {
    return Guarded<BOOL>(FALSE, "GetNewPasswordThrd", [&] {
        return GetNewPasswordUnowned(icon, userName, password) ? TRUE : FALSE;
    });
}

HWND WINAPI ShowAbout(HICON icon, std::uint32_t edition, const char* version,
                      std::uint32_t /*ignored*/) {
    return Guarded<HWND>(nullptr, "ShowAbout", [&] { return ShowAboutWindow(icon, edition, version); });
}

// Byte boolean and 32-bit boolean results alike are exactly 0 or 1 here.
BOOL WINAPI GetRDPSettings(TRDPSettings* settings, std::uint16_t* port) {
    return Guarded<BOOL>(FALSE, "GetRDPSettings", [&] { return vexlo::GetRDPSettings(settings, port) ? TRUE : FALSE; });
}

BOOL WINAPI GetRFBSettings(TRFBSettings* settings) {
    return Guarded<BOOL>(FALSE, "GetRFBSettings", [&] { return vexlo::GetRFBSettings(settings) ? TRUE : FALSE; });
}

HWND WINAPI Logon(HWND notify, HICON icon, const std::uint8_t* userName,
                  const std::uint8_t* password, std::int32_t successTag) {
    return Guarded<HWND>(nullptr, "Logon", [&] {
        return ShowLogon(notify, icon, userName, password, successTag);
    });
}

}  // extern "C"
