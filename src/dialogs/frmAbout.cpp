#include "dialogs/frmAbout.h"

#include <memory>

#include "dialogs/about_ids.h"
#include "dialogs/dialog_rules.h"

namespace vexlo {

namespace {

using namespace ui;
namespace id = about_ids;

constexpr ControlDef kControls[] = {
    {.kind = Kind::Picture, .id = id::Image1, .name = "Image1", .at = {0, 0, 430, 270}, .flags = kAutoSize, .resource = "ABOUT_BACK"},
    // The edition picture is chosen by the caller and keeps its own size.
    {.kind = Kind::Picture, .id = id::iVer, .name = "iVer", .at = {293, 56, 120, 26}, .flags = kAutoSize},
    {.kind = Kind::Label, .id = id::lVer, .name = "lVer", .at = {296, 96, 0, 0}, .text = "Version ", .flags = kTransparent},
    {.kind = Kind::Button, .id = id::btOk, .name = "btOk", .at = {344, 232, 75, 25}, .text = "OK", .tab = 0, .flags = kDefault},
};

// Sized to the background picture; the caption is not drawn but names the window.
constexpr FormDef kForm = {
    .className = "TformAbout",
    .clientWidth = 430,
    .clientHeight = 270,
    .border = Border::None,
    .systemMenu = false,
    .stayOnTop = true,
    .controls = kControls,
};

}  // namespace

const Command TformAbout::kCommands[] = {
    On<&TformAbout::btOkClick>(id::btOk, BN_CLICKED),
};

TformAbout::TformAbout() : Form(kForm, kCommands) {}

bool TformAbout::OnCreate() {
    SetCaption("About Quillmere");
    return true;
}

void TformAbout::FormClose(CloseAction& action) {
    // However it is closed, the window goes for good: nobody shows it again.
    action = CloseAction::Free;
}

void TformAbout::btOkClick() { PostMessageA(Handle(), WM_CLOSE, 0, 0); }

HWND ShowAboutWindow(HICON icon, std::uint32_t edition, const char* version) {
    auto form = ui::MakeOwned<TformAbout>();
    form->SetIcon(icon);
    HWND wnd = form->Handle();
    form->SetText(id::lVer, dialog_rules::AboutVersionText(version));
    form->SetPicture(id::iVer, dialog_rules::EditionPictureName(edition));
    if (const char* text = dialog_rules::EditionText(edition)) form->SetPictureText(id::iVer, text);
    form->ShowModeless();
    form.release();  // the window owns the form from now on
    return wnd;
}

}  // namespace vexlo
