#pragma once
// The RDP settings dialog: edits a copy of the caller's session record and port, and
// hands both back only when the user confirms with OK.
#include <windows.h>

#include <cstdint>

#include "shared/remote_records.h"
#include "ui/form.h"

namespace vexlo {

class TformRDPSettings : public ui::Form {
public:
    TformRDPSettings();
    ~TformRDPSettings() override;

    // Shows the record and port in the controls; OK stays disabled until a change.
    void Load(const TRDPSettings& settings, std::uint16_t port);

    TRDPSettings settings{};  // the working copy
    std::uint16_t port = 0;

protected:
    bool OnCreate() override;
    void OnCommand(int id, int code, HWND from) override;

private:
    static const ui::Command kCommands[];
    void sePortChange();
    void btOKClick();
    void UpdateDependents();
    void UpdateOk();

    bool loading_ = false;
};

// The export's work: false, and nothing written, when the dialog is not confirmed or
// cannot be shown.
bool GetRDPSettings(TRDPSettings* settings, std::uint16_t* port);

}  // namespace vexlo
