#include "remote/frmRDPSettings.h"

#include <cstring>
#include <memory>

#include "shared/dpi.h"
#include "shared/module.h"
#include "remote/rdp_ids.h"
#include "remote/remote_rules.h"
#include "remote/vxLink.h"
#include "ui/bindings.h"
#include "ui/spin_rules.h"

namespace vexlo {

namespace {

using namespace ui;
namespace id = rdp_ids;

constexpr const char* kDownloadPage = "https://www.microsoft.com/download/";

constexpr ControlDef kControls[] = {
    {.kind = Kind::GroupBox, .id = id::gbConnection, .name = "GroupBox1", .at = {8, 8, 305, 145}, .text = "Connection settings", .tab = 0},
    {.kind = Kind::Label, .id = id::Label8, .name = "Label8", .at = {8, 20, 0, 0}, .text = "Server:", .parent = id::gbConnection},
    {.kind = Kind::Edit, .id = id::eServer, .name = "eServer", .at = {72, 16, 125, 21}, .tab = 0, .parent = id::gbConnection, .textLimit = 255},
    {.kind = Kind::Label, .id = id::Label1, .name = "Label1", .at = {200, 20, 0, 0}, .text = "Port:", .parent = id::gbConnection},
    {.kind = Kind::SpinEdit, .id = id::sePort, .name = "sePort", .at = {228, 16, 69, 22}, .text = "0", .tab = 1, .parent = id::gbConnection, .minValue = remote::kMinPort, .maxValue = remote::kMaxPort},
    {.kind = Kind::Label, .id = id::Label9, .name = "Label9", .at = {8, 52, 0, 0}, .text = "User name:", .parent = id::gbConnection},
    {.kind = Kind::Edit, .id = id::eUser, .name = "eUser", .at = {72, 48, 169, 21}, .tab = 2, .parent = id::gbConnection, .textLimit = 255},
    {.kind = Kind::Label, .id = id::Label10, .name = "Label10", .at = {8, 84, 0, 0}, .text = "Domain:", .parent = id::gbConnection},
    {.kind = Kind::Edit, .id = id::eDomain, .name = "eDomain", .at = {72, 80, 169, 21}, .tab = 3, .parent = id::gbConnection, .textLimit = 255},
    {.kind = Kind::Label, .id = id::Label11, .name = "Label11", .at = {8, 116, 0, 0}, .text = "Password:", .parent = id::gbConnection},
    {.kind = Kind::Edit, .id = id::ePass, .name = "ePass", .at = {72, 112, 169, 21}, .tab = 4, .flags = kPassword, .parent = id::gbConnection, .textLimit = 255},

    {.kind = Kind::GroupBox, .id = id::gbShell, .name = "GroupBox2", .at = {8, 160, 305, 73}, .text = "Shell", .tab = 1},
    {.kind = Kind::CheckBox, .id = id::cbShell, .name = "cbShell", .at = {8, 16, 225, 17}, .text = "Use default shell application", .tab = 0, .parent = id::gbShell},
    {.kind = Kind::Label, .id = id::Label12, .name = "Label12", .at = {8, 44, 0, 0}, .text = "Shell:", .parent = id::gbShell},
    {.kind = Kind::Edit, .id = id::eShell, .name = "eShell", .at = {40, 40, 257, 21}, .tab = 1, .parent = id::gbShell, .textLimit = 255},

    {.kind = Kind::GroupBox, .id = id::gbScreen, .name = "GroupBox3", .at = {8, 240, 305, 137}, .text = "Screen settings", .tab = 2},
    {.kind = Kind::CheckBox, .id = id::cbFull, .name = "cbFull", .at = {8, 16, 289, 17}, .text = "Start on Full Screen mode", .tab = 0, .parent = id::gbScreen},
    {.kind = Kind::Label, .id = id::Label13, .name = "Label13", .at = {8, 48, 0, 0}, .text = "Remote desktop size", .parent = id::gbScreen},
    {.kind = Kind::ComboList, .id = id::cbDeskSize, .name = "cbDeskSize", .at = {8, 64, 289, 22}, .tab = 1, .flags = kOwnerDraw, .parent = id::gbScreen},
    {.kind = Kind::Label, .id = id::Label14, .name = "Label14", .at = {8, 88, 0, 0}, .text = "Color depth", .parent = id::gbScreen},
    {.kind = Kind::ComboList, .id = id::cbColor, .name = "cbColor", .at = {8, 104, 289, 22}, .tab = 2, .flags = kOwnerDraw, .parent = id::gbScreen, .items = "8 bit\n15 bit\n16 bit\n24 bit"},

    {.kind = Kind::GroupBox, .id = id::gbResources, .name = "GroupBox4", .at = {8, 384, 305, 113}, .text = "Resources", .tab = 3},
    {.kind = Kind::CheckBox, .id = id::cbSound, .name = "cbSound", .at = {8, 16, 97, 17}, .text = "Redirect sound", .tab = 0, .parent = id::gbResources},
    {.kind = Kind::CheckBox, .id = id::cbDrives, .name = "cbDrives", .at = {8, 40, 97, 17}, .text = "Redirect drives", .tab = 1, .parent = id::gbResources},
    {.kind = Kind::CheckBox, .id = id::cbPrint, .name = "cbPrint", .at = {8, 64, 97, 17}, .text = "Redirect printers", .tab = 2, .parent = id::gbResources},
    {.kind = Kind::CheckBox, .id = id::cbPorts, .name = "cbPorts", .at = {8, 88, 97, 17}, .text = "Redirect ports", .tab = 3, .parent = id::gbResources},

    {.kind = Kind::Button, .id = id::btOK, .name = "btOK", .at = {320, 8, 75, 25}, .text = "OK", .tab = 4, .flags = kDefault},
    {.kind = Kind::Button, .id = id::btCancel, .name = "btCancel", .at = {320, 40, 75, 25}, .text = "Cancel", .tab = 5, .flags = kCancel},
    {.kind = Kind::Picture, .id = id::iWarning, .name = "iWarning", .at = {16, 512, 32, 32}, .flags = kStretch},
    // Transparent: the link lies in its empty third and fourth lines.
    {.kind = Kind::Label, .id = id::Label2, .name = "Label2", .at = {64, 504, 315, 65}, .text = "Microsoft RDP Client 5.2 or later is required\r\n(Included with Windows XP SP2)\r\n\r\n\r\n" "RDP and Microsoft are registred tradmarks of Microsoft Corporation", .flags = kTransparent},
    {.kind = Kind::Custom, .id = id::lRDP, .name = "lRDP", .at = {64, 536, 191, 13}, .text = "Click here to download the latest version", .tab = 6, .flags = kUnderline | kAutoSize, .className = TvxLink::kClassName},
};

constexpr FormDef kForm = {
    .className = "TformRDPSettings",
    .caption = "RDP Settings",
    .clientWidth = 403,
    .clientHeight = 575,
    .controls = kControls,
};

// The record's fields and the controls that edit them; each change enables OK anew.
constexpr Field<TRDPSettings> kFields[] = {
    TextField<&TRDPSettings::Server, remote::AssignShort>(id::eServer),
    TextField<&TRDPSettings::UserName, remote::AssignShort>(id::eUser),
    TextField<&TRDPSettings::Domain, remote::AssignShort>(id::eDomain),
    TextField<&TRDPSettings::Password, remote::AssignShort>(id::ePass),
    CheckField<&TRDPSettings::DefaultShell>(id::cbShell),
    TextField<&TRDPSettings::Shell, remote::AssignShort>(id::eShell),
    CheckField<&TRDPSettings::FullScreen>(id::cbFull),
    ChoiceField<&TRDPSettings::DeskSize, remote::SelectionField16>(id::cbDeskSize, CBN_SELCHANGE),
    ChoiceField<&TRDPSettings::ColorDepth, remote::SelectionField16>(id::cbColor, CBN_SELCHANGE),
    CheckField<&TRDPSettings::RedirectSound>(id::cbSound),
    CheckField<&TRDPSettings::RedirectDrives>(id::cbDrives),
    CheckField<&TRDPSettings::RedirectPrinters>(id::cbPrint),
    CheckField<&TRDPSettings::RedirectPorts>(id::cbPorts),
};

constexpr int kColorCount = 4;

}  // namespace

TformRDPSettings::~TformRDPSettings() { crypto::SecureWipe(&settings, sizeof settings); }

// After a field's change (kFields), before OK's state is worked out anew.
const Command TformRDPSettings::kCommands[] = {
    On<&TformRDPSettings::UpdateDependents>(id::cbShell, BN_CLICKED),
    On<&TformRDPSettings::UpdateDependents>(id::cbFull, BN_CLICKED),
    On<&TformRDPSettings::sePortChange>(id::sePort, EN_CHANGE),
    On<&TformRDPSettings::btOKClick>(id::btOK, BN_CLICKED),
    On<&TformRDPSettings::CancelModal>(id::btCancel, BN_CLICKED),
};

TformRDPSettings::TformRDPSettings() : Form(kForm, kCommands) {
    ui::RegisterClassFor<TvxLink>();
    // The caption's small icon at the system's size for its scale.
    SetIcon(dpi::LoadIconAt(module::Instance(), "RDP_ICON", dpi::Metric(SM_CXSMICON, dpi::System())));
}

bool TformRDPSettings::OnCreate() {
    std::vector<std::string> sizes;
    for (const remote::ScreenSize& s : remote::BuildScreenSizes(DisplayModes())) sizes.push_back(s.text);
    SetItems(id::cbDeskSize, sizes);
    SetPictureSystemIcon(id::iWarning, IDI_WARNING);
    if (TvxLink* link = As<TvxLink>(Item(id::lRDP))) link->Link = kDownloadPage;
    return true;
}

void TformRDPSettings::Load(const TRDPSettings& from, std::uint16_t fromPort) {
    Handle();
    settings = from;
    port = fromPort;
    // Filling the controls is no change by the user: the handlers stay quiet.
    loading_ = true;
    ShowFields(kFields, *this, settings);
    SetItemIndex(id::cbDeskSize, remote::SelectionFor(settings.DeskSize, static_cast<int>(SendMessageA(
                                                                            Item(id::cbDeskSize), CB_GETCOUNT, 0, 0))));
    SetItemIndex(id::cbColor, remote::SelectionFor(settings.ColorDepth, kColorCount));
    SetText(id::sePort, std::to_string(port));
    loading_ = false;
    UpdateDependents();
    // Whatever came in, OK waits for a change by the user.
    SetEnabled(id::btOK, false);
}

void TformRDPSettings::OnCommand(int control, int code, HWND from) {
    // Once a result is set, what the controls report while the window goes is no change
    // by the user either.
    if (loading_ || ModalResultValue() != ui::mrNone) return;
    const bool stored = StoreField(kFields, *this, control, code, settings);
    Form::OnCommand(control, code, from);
    if (stored) UpdateOk();
}

void TformRDPSettings::sePortChange() {
    port = remote::PortFromText(Text(id::sePort));
    UpdateOk();
}

void TformRDPSettings::btOKClick() {
    // Enter can press OK while the port box still holds a number beyond 65535; the port
    // returned is the one the box shows after leaving it, never the number cut to 16 bits.
    std::string clamped;
    if (ui::SpinTextOnExit(Text(id::sePort), remote::kMinPort, remote::kMaxPort, clamped))
        SetText(id::sePort, clamped);
    SetModalResult(ui::mrOk);
}

void TformRDPSettings::UpdateDependents() {
    SetEnabled(id::eShell, !Checked(id::cbShell));
    SetEnabled(id::cbDeskSize, !Checked(id::cbFull));
}

void TformRDPSettings::UpdateOk() {
    SetEnabled(id::btOK,
               remote::RdpOkEnabled(Text(id::eServer), ItemIndex(id::cbDeskSize), ItemIndex(id::cbColor)));
}

bool GetRDPSettings(TRDPSettings* settings, std::uint16_t* port) {
    if (!settings || !port) return false;
    TRDPSettings incoming;
    const WipeOnExit wipeIncoming(incoming);
    std::memcpy(&incoming, settings, sizeof incoming);
    const std::uint16_t incomingPort = *port;
    auto form = ui::MakeOwned<TformRDPSettings>();
    form->Load(incoming, incomingPort);
    if (form->ShowModal() != ui::mrOk) return false;
    std::memcpy(settings, &form->settings, sizeof form->settings);
    *port = form->port;
    return true;
}

}  // namespace vexlo
