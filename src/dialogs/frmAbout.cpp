#include "dialogs/frmAbout.h"

#include <memory>

#include "dialogs/about_ids.h"
#include "dialogs/dialog_rules.h"

namespace vexlo {

namespace {

using namespace ui;
namespace id = about_ids;

constexpr ControlDef kControls[] = {
    {Kind::Picture, id::Image1, "Image1", 0, 0, 430, 270, "ABOUT_BACK", -1, kAutoSize},
    // The edition picture is chosen by the caller and keeps its own size.
    {Kind::Picture, id::iVer, "iVer", 293, 56, 120, 26, nullptr, -1, kAutoSize},
    {Kind::Label, id::lVer, "lVer", 296, 96, 0, 0, "Version ", -1, kTransparent},
    {Kind::Button, id::btOk, "btOk", 344, 232, 75, 25, "OK", 0, kDefault},
};

// Sized to the background picture; the caption is not drawn but names the window.
constexpr FormDef kForm = {
    "TformAbout", "", 430, 270, Border::None, /*systemMenu=*/false, /*stayOnTop=*/true,
    Position::DesktopCenter, kControls, static_cast<int>(std::size(kControls)),
};

}  // namespace

TformAbout::TformAbout() : Form(kForm) {}

void TformAbout::FormCreate() { SetCaption("About Quillmere"); }

void TformAbout::FormClose(CloseAction& action) {
    // However it is closed, the window goes for good: nobody shows it again.
    action = CloseAction::Free;
}

void TformAbout::Command(int control, int code) {
    if (control == id::btOk && code == BN_CLICKED) btOkClick();
}

void TformAbout::btOkClick() { PostMessageA(Handle(), WM_CLOSE, 0, 0); }

HWND ShowAboutWindow(HICON icon, std::uint32_t edition, const char* version) {
    auto form = std::make_unique<TformAbout>();
    form->SetIcon(icon);
    HWND wnd = form->Handle();
    form->SetText(id::lVer, dialog_rules::AboutVersionText(version));
    form->SetPicture(id::iVer, dialog_rules::EditionPictureName(edition));
    form->ShowModeless();
    form.release();  // the window owns the form from now on
    return wnd;
}

}  // namespace vexlo
