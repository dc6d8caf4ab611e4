// The product exports: thin functions that check their arguments, call the module that
// does the work, and map any failure to the export's negative result.
#include <windows.h>

#include <cstdint>

#include "dialogs/frmLogon.h"
#include "frame/guard.h"

using namespace vexlo;

extern "C" {

HWND WINAPI Logon(HWND notify, HICON icon, const std::uint8_t* userName,
                  const std::uint8_t* password, std::int32_t successTag) {
    return Guarded<HWND>(nullptr, [&] {
        return ShowLogon(notify, icon, userName, password, successTag);
    });
}

}  // extern "C"
