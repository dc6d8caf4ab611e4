#include "dialogs/frmNewPass.h"

#include <memory>

#include "dialogs/dialog_rules.h"
#include "dialogs/newpass_ids.h"
#include "shared/module.h"
#include "shared/handles.h"
#include "shared/lastuser.h"
#include "shared/shortstr.h"

namespace vexlo {

namespace {

using namespace ui;
namespace id = newpass_ids;
using dialog_rules::NewPassBox;

constexpr ControlDef kControls[] = {
    {.kind = Kind::Label, .id = id::lUser, .name = "lUser", .at = {8, 8, 0, 0}, .text = "User name"},
    {.kind = Kind::Edit, .id = id::eUser, .name = "eUser", .at = {8, 24, 241, 21}, .tab = 0},
    {.kind = Kind::Label, .id = id::lPass1, .name = "lPass1", .at = {8, 48, 0, 0}, .text = "Password"},
    {.kind = Kind::Edit, .id = id::ePass1, .name = "ePass1", .at = {8, 64, 241, 21}, .tab = 1, .flags = kPassword},
    {.kind = Kind::Label, .id = id::lPass2, .name = "lPass2", .at = {8, 88, 0, 0}, .text = "Retype password"},
    {.kind = Kind::Edit, .id = id::ePass2, .name = "ePass2", .at = {8, 104, 241, 21}, .tab = 2, .flags = kPassword},
    {.kind = Kind::Button, .id = id::btOK, .name = "btOK", .at = {48, 136, 75, 25}, .text = "OK", .tab = 3, .flags = kDefault | kDisabled},
    {.kind = Kind::Button, .id = id::btCancel, .name = "btCancel", .at = {136, 136, 75, 25}, .text = "Cancel", .tab = 4, .flags = kCancel},
};

constexpr FormDef kForm = {
    .className = "TformNewPass",
    .caption = "Enter new user name and password...",
    .clientWidth = 261,
    .clientHeight = 169,
    .stayOnTop = true,
    .controls = kControls,
};

}  // namespace

const Command TformNewPass::kCommands[] = {
    On<&TformNewPass::ePass1Change>(id::ePass1, EN_CHANGE),
    // A change of the user name asks the second box's rule again.
    On<&TformNewPass::ePass2Change>(id::eUser, EN_CHANGE),
    On<&TformNewPass::ePass2Change>(id::ePass2, EN_CHANGE),
    On<&TformNewPass::btOKClick>(id::btOK, BN_CLICKED),
    On<&TformNewPass::CancelModal>(id::btCancel, BN_CLICKED),
};

TformNewPass::TformNewPass() : Form(kForm, kCommands) {}

TformNewPass::~TformNewPass() { Wipe(confirmedPassword_); }

bool TformNewPass::OnCreate() {
    SetText(id::eUser, GetLastUser());
    return true;
}

void TformNewPass::ePass1Change() {
    const SecretString pass1 = SecretText(id::ePass1), pass2 = SecretText(id::ePass2);
    const auto r = dialog_rules::OnNewPassChange(NewPassBox::Pass1, pass1.Str(), pass2.Str());
    // Emptying the second box reports its own change first; the first box's rule wins.
    if (r.clearPass2) SetText(id::ePass2, "");
    SetEnabled(id::btOK, r.okEnabled);
}

void TformNewPass::ePass2Change() {
    const SecretString pass1 = SecretText(id::ePass1), pass2 = SecretText(id::ePass2);
    const auto r = dialog_rules::OnNewPassChange(NewPassBox::Pass2, pass1.Str(), pass2.Str());
    SetEnabled(id::btOK, r.okEnabled);
}

void TformNewPass::btOKClick() {
    const std::string user = Text(id::eUser);
    // The last user is stored before the dialog closes: when that fails, the error is
    // shown over the dialog, which stays open, and nothing counts as confirmed.
    SetLastUser(user);
    confirmedUser_ = user;
    Wipe(confirmedPassword_);
    confirmedPassword_ = Text(id::ePass1);
    SetModalResult(mrOk);
}

namespace {

bool ShowNewPassword(bool owned, HICON icon, void* userName, void* password) {
    const ShortString proposedUser = ShortString::Read(userName);
    ShortString proposedPassword = ShortString::Read(password);
    const WipeOnExit wipeProposed(proposedPassword);
    auto form = ui::MakeOwned<TformNewPass>();
    if (!owned) form->SetOwner(nullptr);
    form->SetIcon(icon);
    form->Handle();
    auto fields = dialog_rules::InitialNewPassFields(
        form->Text(newpass_ids::eUser), proposedUser.View(), proposedPassword.View());
    form->SetText(newpass_ids::eUser, fields.user);
    form->SetText(newpass_ids::ePass1, fields.pass1);
    form->SetText(newpass_ids::ePass2, fields.pass2);
    Wipe(fields.pass1);
    Wipe(fields.pass2);
    // Shown with OK disabled even when the proposal is complete.
    form->SetEnabled(newpass_ids::btOK, false);
    if (form->ShowModal() != mrOk) return false;
    return dialog_rules::WriteCredentials(form->ConfirmedUser(), form->ConfirmedPassword(),
                                          userName, password);
}

bool Refuse(HICON icon) {
    // The icon was handed over with the call, dialog or not.
    UniqueHicon handedOver(icon);
    return false;
}

}  // namespace

bool GetNewPasswordOwned(HWND appWindow, HICON icon, void* userName, void* password) {
    if (!userName || !password) return Refuse(icon);
    module::SetOwnerWindow(appWindow);
    return ShowNewPassword(true, icon, userName, password);
}

bool GetNewPasswordUnowned(HICON icon, void* userName, void* password) {
    if (!userName || !password) return Refuse(icon);
    return ShowNewPassword(false, icon, userName, password);
}

}  // namespace vexlo
