#include "dialogs/frmLogon.h"

#include <memory>

#include "dialogs/logon_ids.h"
#include "shared/lastuser.h"
#include "shared/win_text.h"

namespace vexlo {

namespace {

using namespace ui;
namespace id = logon_ids;

constexpr ControlDef kControls[] = {
    {.kind = Kind::Picture, .id = id::Image1, .name = "Image1", .at = {0, 0, 411, 114}, .flags = kAutoSize, .resource = "LOGON_BANNER"},
    {.kind = Kind::Picture, .id = id::Image2, .name = "Image2", .at = {304, 16, 105, 105}, .flags = kStretch | kTransparent, .resource = "LOGON_LOGO"},
    {.kind = Kind::Label, .id = id::Label1, .name = "Label1", .at = {88, 80, 224, 26}, .text = "This Desktop requires separate Authentication.\r\nPlease enter required Username and Password.", .flags = kTransparent},
    {.kind = Kind::Label, .id = id::Label3, .name = "Label3", .at = {24, 132, 0, 0}, .text = "User Name:"},
    {.kind = Kind::Edit, .id = id::eName, .name = "eName", .at = {88, 128, 289, 21}, .tab = 0},
    {.kind = Kind::Label, .id = id::Label2, .name = "Label2", .at = {32, 164, 0, 0}, .text = "Password:"},
    {.kind = Kind::Edit, .id = id::ePass, .name = "ePass", .at = {88, 160, 289, 21}, .tab = 1, .flags = kPassword},
    {.kind = Kind::Button, .id = id::btOk, .name = "btOk", .at = {128, 200, 75, 25}, .text = "OK", .tab = 2, .flags = kDefault},
    {.kind = Kind::Button, .id = id::btCancel, .name = "btCancel", .at = {208, 200, 75, 25}, .text = "Cancel", .tab = 3, .flags = kCancel},
};

constexpr FormDef kForm = {
    .className = "TVexloLogonWnd",
    .clientWidth = 411,
    .clientHeight = 237,
    .systemMenu = false,
    .controls = kControls,
};

constexpr const char* kWrongPassword =
    "The password is incorrect.\rPlease enter the correct password.\rMake sure Caps Lock is not on";

}  // namespace

const Command TVexloLogonWnd::kCommands[] = {
    On<&TVexloLogonWnd::btOkClick>(id::btOk, BN_CLICKED),
    On<&TVexloLogonWnd::btCancelClick>(id::btCancel, BN_CLICKED),
};

TVexloLogonWnd::TVexloLogonWnd() : Form(kForm, kCommands) {}

TVexloLogonWnd::~TVexloLogonWnd() { Wipe(expectedPassword); }

bool TVexloLogonWnd::OnCreate() {
    SetCaption("Quillmere Logon");
    SetText(id::eName, GetLastUser());
    // The password box shows no tooltip: it has no hint text of its own.
    return true;
}

void TVexloLogonWnd::btOkClick() {
    // Names compare without regard to case, with the system's locale-aware mapping;
    // passwords compare byte by byte. Nothing is trimmed.
    const bool nameOk = AnsiUpperCase(expectedName.Str()) == AnsiUpperCase(Text(id::eName));
    if (nameOk && SecretText(id::ePass).View() == expectedPassword.View()) {
        SetLastUser(expectedName.Str());
        SetEnabled(id::btOk, false);
        SetEnabled(id::btCancel, false);
        PostMessageA(notifyWindow, kLogonAccepted, static_cast<WPARAM>(successTag), 0);
        PostMessageA(Handle(), WM_CLOSE, 0, 0);
        return;
    }
    // One message for a wrong name and a wrong password alike. The caller's loop runs on
    // beneath the box and may destroy this window meanwhile, this object with it.
    const ui::AliveToken alive = Token();
    MessageBoxA(Handle(), kWrongPassword, "Warning", MB_OK | MB_ICONWARNING);
    if (!alive) return;
    HWND pass = Item(id::ePass);
    SendMessageA(pass, EM_SETSEL, 0, -1);
    SetFocus(pass);
}

void TVexloLogonWnd::btCancelClick() {
    PostMessageA(notifyWindow, kLogonCancelled, static_cast<WPARAM>(-1), 0);
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
}

HWND ShowLogon(HWND notify, HICON icon, const void* userName, const void* password,
               std::int32_t successTag) {
    const ShortString name = ShortString::Read(userName);
    ShortString pass = ShortString::Read(password);
    const WipeOnExit wipePass(pass);
    auto form = ui::MakeOwned<TVexloLogonWnd>();
    form->SetIcon(icon);
    form->notifyWindow = notify;
    form->expectedName = name;
    form->expectedPassword = pass;
    form->successTag = successTag;
    HWND wnd = form->Handle();
    form->ShowModeless();
    form.release();  // the window owns the form from now on
    return wnd;
}

}  // namespace vexlo
