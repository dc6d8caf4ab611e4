#include "remote/frmRFBSettings.h"

#include <cstring>
#include <memory>

#include "shared/dpi.h"
#include "shared/module.h"
#include "remote/remote_rules.h"
#include "remote/rfb_ids.h"
#include "remote/vxLink.h"
#include "ui/bindings.h"

namespace vexlo {

namespace {

using namespace ui;
namespace id = rfb_ids;

constexpr const char* kViewerSite = "https://tigervnc.org/";
constexpr const char* kEncodings = "ZRLE\nHextile\nRaw";
constexpr const char* kColourLevels =
    "Full (all available colours)\nMedium (256 colours)\nLow (64 colours)\nVery low (8 colours)";

constexpr ControlDef kControls[] = {
    {.kind = Kind::GroupBox, .id = id::gbConnection, .name = "GroupBox1", .at = {8, 8, 305, 81}, .text = "Connection settings", .tab = 0},
    {.kind = Kind::Label, .id = id::Label8, .name = "Label8", .at = {8, 20, 0, 0}, .text = "Server:", .parent = id::gbConnection},
    {.kind = Kind::Edit, .id = id::eServer, .name = "eServer", .at = {72, 16, 225, 21}, .tab = 0, .parent = id::gbConnection, .textLimit = 255},
    {.kind = Kind::Label, .id = id::Label11, .name = "Label11", .at = {8, 52, 0, 0}, .text = "Password:", .parent = id::gbConnection},
    {.kind = Kind::Edit, .id = id::ePass, .name = "ePass", .at = {72, 48, 225, 21}, .tab = 1, .flags = kPassword, .parent = id::gbConnection, .textLimit = 255},
    {.kind = Kind::Button, .id = id::btOK, .name = "btOK", .at = {320, 8, 75, 25}, .text = "OK", .tab = 1, .flags = kDefault},
    {.kind = Kind::Button, .id = id::btCancel, .name = "btCancel", .at = {320, 40, 75, 25}, .text = "Cancel", .tab = 2, .flags = kCancel},
    {.kind = Kind::PageControl, .id = id::PageControl1, .name = "PageControl1", .at = {8, 96, 305, 209}, .tab = 3},

    {.kind = Kind::Page, .id = id::tsColour, .name = "TabSheet1", .at = {0, 0, 0, 0}, .text = "Colour/Encoding", .tab = 0, .parent = id::PageControl1},
    {.kind = Kind::CheckBox, .id = id::cbAuto, .name = "cbAuto", .at = {8, 8, 97, 17}, .text = "Auto select", .tab = 0, .parent = id::tsColour},
    {.kind = Kind::RadioGroup, .id = id::rgEncoding, .name = "rgEncoding", .at = {8, 32, 113, 81}, .text = "Preferred encoding", .tab = 1, .parent = id::tsColour, .items = kEncodings},
    {.kind = Kind::RadioGroup, .id = id::rgColour, .name = "rgColour", .at = {128, 8, 161, 105}, .text = "Colour level", .tab = 2, .parent = id::tsColour, .items = kColourLevels},

    {.kind = Kind::Page, .id = id::tsInputs, .name = "TabSheet2", .at = {0, 0, 0, 0}, .text = "Inputs", .tab = 1, .parent = id::PageControl1},
    {.kind = Kind::CheckBox, .id = id::cbPointer, .name = "cbPointer", .at = {8, 8, 201, 17}, .text = "Send pointer events to server", .tab = 0, .parent = id::tsInputs},
    {.kind = Kind::CheckBox, .id = id::cbKeyboard, .name = "cbKeyboard", .at = {8, 32, 201, 17}, .text = "Send keyboards events to server", .tab = 1, .parent = id::tsInputs},
    {.kind = Kind::CheckBox, .id = id::cbSendClip, .name = "cbSendClip", .at = {8, 56, 201, 17}, .text = "Send clipboard changes to server", .tab = 2, .parent = id::tsInputs},
    {.kind = Kind::CheckBox, .id = id::cbAcceptClip, .name = "cbAcceptClip", .at = {8, 80, 201, 17}, .text = "Accept clipboard changes to server", .tab = 3, .parent = id::tsInputs},
    {.kind = Kind::CheckBox, .id = id::cbEmulate3, .name = "cbEmulate3", .at = {8, 104, 201, 17}, .text = "Enable 3-button mouse emulation", .tab = 4, .parent = id::tsInputs},
    {.kind = Kind::CheckBox, .id = id::cbRate, .name = "cbRate", .at = {8, 128, 201, 17}, .text = "Rate-limit mouse move events", .tab = 5, .parent = id::tsInputs},
    {.kind = Kind::Label, .id = id::Label1, .name = "Label1", .at = {8, 156, 0, 0}, .text = "Menu key", .parent = id::tsInputs},
    {.kind = Kind::ComboList, .id = id::cbMenuKey, .name = "cbMenuKey", .at = {72, 152, 81, 22}, .tab = 6, .flags = kOwnerDraw, .parent = id::tsInputs, .items = "F1\nF2\nF3\nF4\nF5\nF6\nF7\nF8\nF9\nF10\nnone"},

    {.kind = Kind::Page, .id = id::tsMisc, .name = "TabSheet3", .at = {0, 0, 0, 0}, .text = "Misc", .tab = 2, .parent = id::PageControl1},
    {.kind = Kind::CheckBox, .id = id::cbShared, .name = "cbShared", .at = {8, 8, 289, 17}, .text = "Shared connection (do not disconnect other viewers)", .tab = 0, .parent = id::tsMisc},
    {.kind = Kind::CheckBox, .id = id::cbFull, .name = "cbFull", .at = {8, 32, 289, 17}, .text = "Full-screen mode", .tab = 1, .parent = id::tsMisc},
    {.kind = Kind::CheckBox, .id = id::cbCursor, .name = "cbCursor", .at = {8, 56, 289, 17}, .text = "Render cursor locally", .tab = 2, .parent = id::tsMisc},
    {.kind = Kind::CheckBox, .id = id::cbResize, .name = "cbResize", .at = {8, 80, 289, 17}, .text = "Allow dynamic desktop resizing", .tab = 3, .parent = id::tsMisc},

    {.kind = Kind::Picture, .id = id::iWarning, .name = "iWarning", .at = {16, 312, 32, 32}, .flags = kStretch},
    {.kind = Kind::Label, .id = id::Label2, .name = "Label2", .at = {64, 312, 0, 0}, .text = "Required installed VNC Viewer 4.0 or later! "},
    {.kind = Kind::Custom, .id = id::lVNC, .name = "lVNC", .at = {64, 328, 201, 13}, .text = "Download latest version", .tab = 4, .flags = kAutoSize, .className = TvxLink::kClassName},
};

constexpr FormDef kForm = {
    .className = "TformRFBSettings",
    .caption = "RFB Settings",
    .clientWidth = 401,
    .clientHeight = 352,
    .controls = kControls,
};

constexpr int kEncodingCount = 3, kColourCount = 4;
constexpr int kInputsPage = 1;

// The record's fields and the controls that edit them; each change enables OK anew.
constexpr Field<TRFBSettings> kFields[] = {
    TextField<&TRFBSettings::Server, remote::AssignShort>(id::eServer),
    TextField<&TRFBSettings::Password, remote::AssignShort>(id::ePass),
    CheckField<&TRFBSettings::AutoSelect>(id::cbAuto),
    ChoiceField<&TRFBSettings::Encoding>(id::rgEncoding, BN_CLICKED),
    ChoiceField<&TRFBSettings::ColourLevel>(id::rgColour, BN_CLICKED),
    CheckField<&TRFBSettings::SendPointer>(id::cbPointer),
    CheckField<&TRFBSettings::SendKeyboard>(id::cbKeyboard),
    CheckField<&TRFBSettings::SendClipboard>(id::cbSendClip),
    CheckField<&TRFBSettings::AcceptClipboard>(id::cbAcceptClip),
    CheckField<&TRFBSettings::Emulate3Buttons>(id::cbEmulate3),
    CheckField<&TRFBSettings::RateLimitMouse>(id::cbRate),
    ChoiceField<&TRFBSettings::MenuKey>(id::cbMenuKey, CBN_SELCHANGE),
    CheckField<&TRFBSettings::Shared>(id::cbShared),
    CheckField<&TRFBSettings::FullScreen>(id::cbFull),
    CheckField<&TRFBSettings::RenderCursor>(id::cbCursor),
    CheckField<&TRFBSettings::AllowResize>(id::cbResize),
};

}  // namespace

TformRFBSettings::~TformRFBSettings() { crypto::SecureWipe(&settings, sizeof settings); }

// After a field's change (kFields), before OK's state is worked out anew.
const Command TformRFBSettings::kCommands[] = {
    On<&TformRFBSettings::UpdateAutoSelect>(id::cbAuto, BN_CLICKED),
    On<&TformRFBSettings::ConfirmModal>(id::btOK, BN_CLICKED),
    On<&TformRFBSettings::CancelModal>(id::btCancel, BN_CLICKED),
};

TformRFBSettings::TformRFBSettings() : Form(kForm, kCommands) {
    ui::RegisterClassFor<TvxLink>();
    // The caption's small icon at the system's size for its scale.
    SetIcon(dpi::LoadIconAt(module::Instance(), "RFB_ICON", dpi::Metric(SM_CXSMICON, dpi::System())));
}

bool TformRFBSettings::OnCreate() {
    SetItemIndex(id::PageControl1, kInputsPage);
    SetPictureSystemIcon(id::iWarning, IDI_WARNING);
    if (TvxLink* link = As<TvxLink>(Item(id::lVNC))) link->Link = kViewerSite;
    return true;
}

void TformRFBSettings::Load(const TRFBSettings& from) {
    Handle();
    settings = from;
    loading_ = true;
    ShowFields(kFields, *this, settings);
    // A radio group's index comes into range; an item it then chooses is written back.
    const int encoding = RadioIndexInRange(settings.Encoding, kEncodingCount);
    SetItemIndex(id::rgEncoding, encoding);
    if (encoding >= 0) settings.Encoding = encoding;
    const int colour = RadioIndexInRange(settings.ColourLevel, kColourCount);
    SetItemIndex(id::rgColour, colour);
    if (colour >= 0) settings.ColourLevel = colour;
    // An index outside the list shows no key and stays in the record as it came.
    SetItemIndex(id::cbMenuKey, remote::SelectionFor(settings.MenuKey, remote::kMenuKeyCount));
    loading_ = false;
    UpdateAutoSelect();
    SetEnabled(id::btOK, false);
}

void TformRFBSettings::OnCommand(int control, int code, HWND from) {
    // Once a result is set, what the controls report while the window goes is no change
    // by the user either.
    if (loading_ || ModalResultValue() != ui::mrNone) return;
    const bool stored = StoreField(kFields, *this, control, code, settings);
    Form::OnCommand(control, code, from);
    if (stored) UpdateOk();
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
    const WipeOnExit wipeIncoming(incoming);
    std::memcpy(&incoming, settings, sizeof incoming);
    auto form = ui::MakeOwned<TformRFBSettings>();
    form->Load(incoming);
    if (form->ShowModal() != ui::mrOk) return false;
    std::memcpy(settings, &form->settings, sizeof form->settings);
    return true;
}

}  // namespace vexlo
