#pragma once
// The new user name and password dialog: a modal dialog that asks for a user name and a
// password typed twice, and hands both back in the caller's short-string buffers.
#include <windows.h>

#include <string>

#include "ui/form.h"

namespace vexlo {

class TformNewPass : public ui::Form {
public:
    TformNewPass();
    ~TformNewPass() override;

    // The texts confirmed with OK; empty until then.
    const std::string& ConfirmedUser() const { return confirmedUser_; }
    const std::string& ConfirmedPassword() const { return confirmedPassword_; }

protected:
    bool OnCreate() override;

private:
    static const ui::Command kCommands[];
    void ePass1Change();
    void ePass2Change();
    void btOKClick();

    std::string confirmedUser_, confirmedPassword_;
};

// Both show the dialog modally in the calling thread and return true when it was
// confirmed with OK; only then are the short-string buffers written. With a null
// buffer they return false at once: no dialog, no change of state, the icon destroyed.

// Makes appWindow the owner of every library window created from now on in this
// process, then shows the dialog owned by it.
bool GetNewPasswordOwned(HWND appWindow, HICON icon, void* userName, void* password);
// Shows the dialog without an owner and leaves the library's owner window alone.
bool GetNewPasswordUnowned(HICON icon, void* userName, void* password);

}  // namespace vexlo
