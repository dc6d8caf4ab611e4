#pragma once
// "Run as...": a modal dialog that names a program, its parameters and an account, and
// the launcher that starts the program under that account. One dialog at a time across
// every process that has the library loaded.
#include <windows.h>

#include <string>

#include "dialogs/runas_rules.h"
#include "shared/handles.h"
#include "ui/form.h"

namespace vexlo {

class TformRunAs : public ui::Form {
public:
    TformRunAs();
    ~TformRunAs() override;

    // The dialog's texts as they stood when "Run" was pressed.
    const RunAsFields& Confirmed() const { return confirmed_; }

protected:
    bool OnCreate() override;

private:
    static const ui::Command kCommands[];
    void cbServerChange();
    void sbStartClick();
    void btRunClick();

    UniqueHbitmap startPicture_;
    RunAsFields confirmed_;
};

// Shows the dialog modally in the calling thread with the program filled in (null:
// empty); after "Run" the program is launched with the dialog's credentials. While a
// dialog is open anywhere, only says so.
void ShowRunAsDialog(const char* application);

// Starts the request's program under its account through the system's logon-and-create
// service, looked up when called. Returns the new process (the caller closes it), or
// null: nothing started; a refusal by the system has been shown to the user.
UniqueHandle LaunchAsUser(const LaunchRequest& request);

}  // namespace vexlo
