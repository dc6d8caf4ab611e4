#include "remote/frmRFBSettings.h"

#include <cstring>
#include <memory>

#include "frame/module.h"
#include "remote/remote_rules.h"
#include "remote/rfb_ids.h"
#include "remote/vxLink.h"

namespace vexlo {

namespace {

using namespace ui;
namespace id = rfb_ids;

constexpr const char* kViewerSite = "https://tigervnc.org/";
constexpr const char* kEncodings = "ZRLE\nHextile\nRaw";
constexpr const char* kColourLevels =
    "Full (all available colours)\nMedium (256 colours)\nLow (64 colours)\nVery low (8 colours)";

constexpr ControlDef kControls[] = {
    {Kind::GroupBox, id::gbConnection, "GroupBox1", 8, 8, 305, 81, "Connection settings", 0, kNone},
    {Kind::Label, id::Label8, "Label8", 8, 20, 0, 0, "Server:", -1, kNone, id::gbConnection},
    {Kind::Edit, id::eServer, "eServer", 72, 16, 225, 21, "", 0, kNone, id::gbConnection, nullptr, 0, 255},
    {Kind::Label, id::Label11, "Label11", 8, 52, 0, 0, "Password:", -1, kNone, id::gbConnection},
    {Kind::Edit, id::ePass, "ePass", 72, 48, 225, 21, "", 1, kPassword, id::gbConnection, nullptr, 0, 255},
    {Kind::Button, id::btOK, "btOK", 320, 8, 75, 25, "OK", 1, kDefault},
    {Kind::Button, id::btCancel, "btCancel", 320, 40, 75, 25, "Cancel", 2, kCancel},
    {Kind::PageControl, id::PageControl1, "PageControl1", 8, 96, 305, 209, "", 3, kNone},

    {Kind::Page, id::tsColour, "TabSheet1", 0, 0, 0, 0, "Colour/Encoding", 0, kNone, id::PageControl1},
    {Kind::CheckBox, id::cbAuto, "cbAuto", 8, 8, 97, 17, "Auto select", 0, kNone, id::tsColour},
    {Kind::RadioGroup, id::rgEncoding, "rgEncoding", 8, 32, 113, 81, "Preferred encoding", 1, kNone, id::tsColour,
     kEncodings},
    {Kind::RadioGroup, id::rgColour, "rgColour", 128, 8, 161, 105, "Colour level", 2, kNone, id::tsColour,
     kColourLevels},

    {Kind::Page, id::tsInputs, "TabSheet2", 0, 0, 0, 0, "Inputs", 1, kNone, id::PageControl1},
    {Kind::CheckBox, id::cbPointer, "cbPointer", 8, 8, 201, 17, "Send pointer events to server", 0, kNone,
     id::tsInputs},
    {Kind::CheckBox, id::cbKeyboard, "cbKeyboard", 8, 32, 201, 17, "Send keyboards events to server", 1, kNone,
     id::tsInputs},
    {Kind::CheckBox, id::cbSendClip, "cbSendClip", 8, 56, 201, 17, "Send clipboard changes to server", 2, kNone,
     id::tsInputs},
    {Kind::CheckBox, id::cbAcceptClip, "cbAcceptClip", 8, 80, 201, 17, "Accept clipboard changes to server", 3,
     kNone, id::tsInputs},
    {Kind::CheckBox, id::cbEmulate3, "cbEmulate3", 8, 104, 201, 17, "Enable 3-button mouse emulation", 4, kNone,
     id::tsInputs},
    {Kind::CheckBox, id::cbRate, "cbRate", 8, 128, 201, 17, "Rate-limit mouse move events", 5, kNone,
     id::tsInputs},
    {Kind::Label, id::Label1, "Label1", 8, 156, 0, 0, "Menu key", -1, kNone, id::tsInputs},
    {Kind::ComboList, id::cbMenuKey, "cbMenuKey", 72, 152, 81, 22, "", 6, kOwnerDraw, id::tsInputs,
     "F1\nF2\nF3\nF4\nF5\nF6\nF7\nF8\nF9\nF10\nnone"},

    {Kind::Page, id::tsMisc, "TabSheet3", 0, 0, 0, 0, "Misc", 2, kNone, id::PageControl1},
    {Kind::CheckBox, id::cbShared, "cbShared", 8, 8, 289, 17, "Shared connection (do not disconnect other viewers)",
     0, kNone, id::tsMisc},
    {Kind::CheckBox, id::cbFull, "cbFull", 8, 32, 289, 17, "Full-screen mode", 1, kNone, id::tsMisc},
    {Kind::CheckBox, id::cbCursor, "cbCursor", 8, 56, 289, 17, "Render cursor locally", 2, kNone, id::tsMisc},
    {Kind::CheckBox, id::cbResize, "cbResize", 8, 80, 289, 17, "Allow dynamic desktop resizing", 3, kNone,
     id::tsMisc},

    {Kind::Picture, id::iWarning, "iWarning", 16, 312, 32, 32, nullptr, -1, kStretch},
    {Kind::Label, id::Label2, "Label2", 64, 312, 0, 0, "Required installed VNC Viewer 4.0 or later! ", -1, kNone},
    {Kind::Custom, id::lVNC, "lVNC", 64, 328, 201, 13, "Download latest version", -1, kAutoSize, 0, TvxLink::kClassName},
};

constexpr FormDef kForm = {
    "TformRFBSettings", "RFB Settings", 401, 352, Border::Single, /*systemMenu=*/true, /*stayOnTop=*/false,
    Position::DesktopCenter, kControls, static_cast<int>(std::size(kControls)),
};

constexpr int kEncodingCount = 3, kColourCount = 4;
constexpr int kInputsPage = 1;

// The check boxes that write a boolean of the record and nothing else.
struct BoolBox {
    int id;
    std::uint8_t TRFBSettings::*field;
};
constexpr BoolBox kBoolBoxes[] = {
    {id::cbPointer, &TRFBSettings::SendPointer},       {id::cbKeyboard, &TRFBSettings::SendKeyboard},
    {id::cbSendClip, &TRFBSettings::SendClipboard},    {id::cbAcceptClip, &TRFBSettings::AcceptClipboard},
    {id::cbEmulate3, &TRFBSettings::Emulate3Buttons},  {id::cbRate, &TRFBSettings::RateLimitMouse},
    {id::cbShared, &TRFBSettings::Shared},             {id::cbFull, &TRFBSettings::FullScreen},
    {id::cbCursor, &TRFBSettings::RenderCursor},       {id::cbResize, &TRFBSettings::AllowResize},
};

}  // namespace

TformRFBSettings::TformRFBSettings() : Form(kForm) {
    TvxLink::Register();
    SetIcon(static_cast<HICON>(LoadImageA(module::Instance(), "RFB_ICON", IMAGE_ICON, 16, 16, 0)));
}

void TformRFBSettings::FormCreate() {
    SetItemIndex(id::PageControl1, kInputsPage);
    SetPictureIcon(id::iWarning, LoadIcon(nullptr, IDI_WARNING));
    if (TvxLink* link = TvxLink::FromHandle(Item(id::lVNC))) link->Link = kViewerSite;
}

void TformRFBSettings::Load(const TRFBSettings& from) {
    Handle();
    settings = from;
    loading_ = true;
    SetText(id::eServer, settings.Server.Str());
    SetText(id::ePass, settings.Password.Str());
    SetChecked(id::cbAuto, settings.AutoSelect != 0);
    // A radio group's index comes into range; an item it then chooses is written back.
    const int encoding = RadioIndexInRange(settings.Encoding, kEncodingCount);
    SetItemIndex(id::rgEncoding, encoding);
    if (encoding >= 0) settings.Encoding = encoding;
    const int colour = RadioIndexInRange(settings.ColourLevel, kColourCount);
    SetItemIndex(id::rgColour, colour);
    if (colour >= 0) settings.ColourLevel = colour;
    for (const BoolBox& b : kBoolBoxes) SetChecked(b.id, settings.*b.field != 0);
    // An index outside the list shows no key and stays in the record as it came.
    SetItemIndex(id::cbMenuKey, remote::SelectionFor(settings.MenuKey, remote::kMenuKeyCount));
    loading_ = false;
    UpdateAutoSelect();
    SetEnabled(id::btOK, false);
}

void TformRFBSettings::Command(int control, int code) {
    if (loading_ || ModalResultValue() != ui::mrNone) return;
    if (code == EN_CHANGE) {
        if (control == id::eServer) eServerChange();
        else if (control == id::ePass) ePassChange();
        return;
    }
    if (code == CBN_SELCHANGE) {
        if (control == id::cbMenuKey) cbMenuKeyChange();
        return;
    }
    if (code != BN_CLICKED) return;
    switch (control) {
    case id::cbAuto: return cbAutoClick();
    case id::rgEncoding: return rgEncodingClick();
    case id::rgColour: return rgColourClick();
    case id::btOK: SetModalResult(ui::mrOk); return;
    case id::btCancel: SetModalResult(ui::mrCancel); return;
    default:
        if (CheckBoxClick(control)) UpdateOk();
        return;
    }
}

void TformRFBSettings::eServerChange() {
    remote::AssignShort(settings.Server, Text(id::eServer));
    UpdateOk();
}

void TformRFBSettings::ePassChange() {
    remote::AssignShort(settings.Password, Text(id::ePass));
    UpdateOk();
}

void TformRFBSettings::cbAutoClick() {
    settings.AutoSelect = Checked(id::cbAuto) ? 1 : 0;
    UpdateAutoSelect();
    UpdateOk();
}

void TformRFBSettings::rgEncodingClick() {
    settings.Encoding = ItemIndex(id::rgEncoding);
    UpdateOk();
}

void TformRFBSettings::rgColourClick() {
    settings.ColourLevel = ItemIndex(id::rgColour);
    UpdateOk();
}

void TformRFBSettings::cbMenuKeyChange() {
    settings.MenuKey = ItemIndex(id::cbMenuKey);
    UpdateOk();
}

bool TformRFBSettings::CheckBoxClick(int control) {
    for (const BoolBox& b : kBoolBoxes) {
        if (b.id != control) continue;
        settings.*b.field = Checked(control) ? 1 : 0;
        return true;
    }
    return false;
}

void TformRFBSettings::UpdateAutoSelect() {
    const bool manual = !Checked(id::cbAuto);
    SetEnabled(id::rgEncoding, manual);
    SetEnabled(id::rgColour, manual);
}

void TformRFBSettings::UpdateOk() { SetEnabled(id::btOK, remote::RfbOkEnabled(Text(id::eServer))); }

bool GetRFBSettings(TRFBSettings* settings) {
    if (!settings) return false;
    TRFBSettings incoming;
    std::memcpy(&incoming, settings, sizeof incoming);
    auto form = std::make_unique<TformRFBSettings>();
    form->Load(incoming);
    if (form->ShowModal() != ui::mrOk) return false;
    std::memcpy(settings, &form->settings, sizeof form->settings);
    return true;
}

}  // namespace vexlo
