#pragma once
// TVexloSwitcher: the floating switcher button in the bottom-right corner of the screen.
// Black is its colour key, so all of it but the round button is a hole that clicks pass
// through; a click on the button calls the host back.
#include <windows.h>

#include "ui/form.h"

namespace vexlo::switching {

// The host's callback: one argument in the first argument register (EAX), as the main
// program's own procedures take it; no result.
using SwitchCallback = void*;

// Calls a procedure of the register calling convention with one argument.
void CallRegisterProc(SwitchCallback proc, HWND arg);

class TVexloSwitcher : public ui::Form {
public:
    static constexpr const char* kClassName = "TVexloSwitcher";
    // From the right and the bottom of the primary screen, at 96 DPI.
    static constexpr int kInset = 70;

    TVexloSwitcher();
    SwitchCallback OnSwitch = nullptr;
    void Place();
    void ButtonClick();

protected:
    bool OnCreate() override;
    // The round button tells its parent of a click as buttons do: WM_COMMAND, BN_CLICKED.
    void OnCommand(int id, int code, HWND from) override;
    void FormClose(ui::CloseAction& action) override { action = ui::CloseAction::Hide; }
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void DpiChanged(int) override { Place(); }
};

// ShowSwitcherWnd: the new button window, or null when it could not be made whole.
HWND ShowSwitcher(HICON icon, SwitchCallback onSwitch);

}  // namespace vexlo::switching
