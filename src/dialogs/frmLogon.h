#pragma once
// The logon prompt of a protected desktop: a modeless window on the caller's message loop
// that checks the typed credentials against the expected ones and posts the outcome.
#include <windows.h>

#include <cstdint>

#include "shared/shortstr.h"
#include "ui/form.h"

namespace vexlo {

// Posted to the notify window.
inline constexpr UINT kLogonAccepted = WM_USER + 7;   // wParam: the success tag
inline constexpr UINT kLogonCancelled = WM_USER + 6;  // wParam: -1

class TVexloLogonWnd : public ui::Form {
public:
    TVexloLogonWnd();
    ~TVexloLogonWnd() override;

    HWND notifyWindow = nullptr;
    ShortString expectedName;
    ShortString expectedPassword;
    std::int32_t successTag = 0;

protected:
    bool OnCreate() override;
    // The library never closes the window: removing it is the caller's business.
    bool FormCloseQuery() override { return false; }

private:
    static const ui::Command kCommands[];
    void btOkClick();
    void btCancelClick();
};

// Creates and shows a logon window; 0 when any step of the set-up fails.
HWND ShowLogon(HWND notify, HICON icon, const void* userName, const void* password,
               std::int32_t successTag);

}  // namespace vexlo
