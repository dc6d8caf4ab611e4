#pragma once
// The RFB settings dialog: edits a copy of the caller's session record and hands it back
// only when the user confirms with OK.
#include <windows.h>

#include "shared/remote_records.h"
#include "ui/form.h"

namespace vexlo {

class TformRFBSettings : public ui::Form {
public:
    TformRFBSettings();
    ~TformRFBSettings() override;

    // Shows the record in the controls, bringing the radio groups' indexes into range;
    // OK stays disabled until a change.
    void Load(const TRFBSettings& settings);

    TRFBSettings settings{};  // the working copy

protected:
    bool OnCreate() override;
    void OnCommand(int id, int code, HWND from) override;

private:
    static const ui::Command kCommands[];
    void UpdateAutoSelect();
    void UpdateOk();

    bool loading_ = false;
};

// The export's work: false, and nothing written, when the dialog is not confirmed or
// cannot be shown.
bool GetRFBSettings(TRFBSettings* settings);

}  // namespace vexlo
