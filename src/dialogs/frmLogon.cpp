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
    {Kind::Picture, id::Image1, "Image1", 0, 0, 411, 114, "LOGON_BANNER", -1, kAutoSize},
    {Kind::Picture, id::Image2, "Image2", 304, 16, 105, 105, "LOGON_LOGO", -1, kStretch | kTransparent},
    {Kind::Label, id::Label1, "Label1", 88, 80, 224, 26,
     "This Desktop requires separate Authentication.\r\nPlease enter required Username and Password.",
     -1, kTransparent},
    {Kind::Label, id::Label3, "Label3", 24, 132, 0, 0, "User Name:", -1, kNone},
    {Kind::Edit, id::eName, "eName", 88, 128, 289, 21, "", 0, kNone},
    {Kind::Label, id::Label2, "Label2", 32, 164, 0, 0, "Password:", -1, kNone},
    {Kind::Edit, id::ePass, "ePass", 88, 160, 289, 21, "", 1, kPassword},
    {Kind::Button, id::btOk, "btOk", 128, 200, 75, 25, "OK", 2, kDefault},
    {Kind::Button, id::btCancel, "btCancel", 208, 200, 75, 25, "Cancel", 3, kCancel},
};

constexpr FormDef kForm = {
    "TVexloLogonWnd", "", 411, 237, Border::Single, /*systemMenu=*/false, /*stayOnTop=*/false,
    Position::DesktopCenter, kControls, static_cast<int>(std::size(kControls)),
};

constexpr const char* kWrongPassword =
    "The password is incorrect.\rPlease enter the correct password.\rMake sure Caps Lock is not on";

}  // namespace

TVexloLogonWnd::TVexloLogonWnd() : Form(kForm) {}

void TVexloLogonWnd::FormCreate() {
    SetCaption("Quillmere Logon");
    SetText(id::eName, GetLastUser());
    // The password box shows no tooltip: it has no hint text of its own.
}

void TVexloLogonWnd::Command(int control, int code) {
    if (code != BN_CLICKED) return;
    if (control == id::btOk) btOkClick();
    else if (control == id::btCancel) btCancelClick();
}

void TVexloLogonWnd::btOkClick() {
    // Names compare without regard to case, with the system's locale-aware mapping;
    // passwords compare byte by byte. Nothing is trimmed.
    const bool nameOk = AnsiUpperCase(expectedName.Str()) == AnsiUpperCase(Text(id::eName));
    if (nameOk && Text(id::ePass) == expectedPassword.View()) {
        SetLastUser(expectedName.Str());
        SetEnabled(id::btOk, false);
        SetEnabled(id::btCancel, false);
        PostMessageA(notifyWindow, kLogonAccepted, static_cast<WPARAM>(successTag), 0);
        PostMessageA(Handle(), WM_CLOSE, 0, 0);
        return;
    }
    // One message for a wrong name and a wrong password alike.
    MessageBoxA(Handle(), kWrongPassword, "Warning", MB_OK | MB_ICONWARNING);
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
    const ShortString pass = ShortString::Read(password);
    auto form = std::make_unique<TVexloLogonWnd>();
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
