#include "remote/frmRDPSettings.h"

#include <cstring>
#include <memory>

#include "frame/module.h"
#include "remote/rdp_ids.h"
#include "remote/remote_rules.h"
#include "remote/vxLink.h"
#include "ui/spin_rules.h"

namespace vexlo {

namespace {

using namespace ui;
namespace id = rdp_ids;

constexpr const char* kDownloadPage = "https://www.microsoft.com/download/";

constexpr ControlDef kControls[] = {
    {Kind::GroupBox, id::gbConnection, "GroupBox1", 8, 8, 305, 145, "Connection settings", 0, kNone},
    {Kind::Label, id::Label8, "Label8", 8, 20, 0, 0, "Server:", -1, kNone, id::gbConnection},
    {Kind::Edit, id::eServer, "eServer", 72, 16, 125, 21, "", 0, kNone, id::gbConnection, nullptr, 0, 255},
    {Kind::Label, id::Label1, "Label1", 200, 20, 0, 0, "Port:", -1, kNone, id::gbConnection},
    {Kind::SpinEdit, id::sePort, "sePort", 228, 16, 69, 22, "0", 1, kNone, id::gbConnection, nullptr,
     remote::kMinPort, remote::kMaxPort},
    {Kind::Label, id::Label9, "Label9", 8, 52, 0, 0, "User name:", -1, kNone, id::gbConnection},
    {Kind::Edit, id::eUser, "eUser", 72, 48, 169, 21, "", 2, kNone, id::gbConnection, nullptr, 0, 255},
    {Kind::Label, id::Label10, "Label10", 8, 84, 0, 0, "Domain:", -1, kNone, id::gbConnection},
    {Kind::Edit, id::eDomain, "eDomain", 72, 80, 169, 21, "", 3, kNone, id::gbConnection, nullptr, 0, 255},
    {Kind::Label, id::Label11, "Label11", 8, 116, 0, 0, "Password:", -1, kNone, id::gbConnection},
    {Kind::Edit, id::ePass, "ePass", 72, 112, 169, 21, "", 4, kPassword, id::gbConnection, nullptr, 0, 255},

    {Kind::GroupBox, id::gbShell, "GroupBox2", 8, 160, 305, 73, "Shell", 1, kNone},
    {Kind::CheckBox, id::cbShell, "cbShell", 8, 16, 225, 17, "Use default shell application", 0, kNone,
     id::gbShell},
    {Kind::Label, id::Label12, "Label12", 8, 44, 0, 0, "Shell:", -1, kNone, id::gbShell},
    {Kind::Edit, id::eShell, "eShell", 40, 40, 257, 21, "", 1, kNone, id::gbShell, nullptr, 0, 255},

    {Kind::GroupBox, id::gbScreen, "GroupBox3", 8, 240, 305, 137, "Screen settings", 2, kNone},
    {Kind::CheckBox, id::cbFull, "cbFull", 8, 16, 289, 17, "Start on Full Screen mode", 0, kNone, id::gbScreen},
    {Kind::Label, id::Label13, "Label13", 8, 48, 0, 0, "Remote desktop size", -1, kNone, id::gbScreen},
    {Kind::ComboList, id::cbDeskSize, "cbDeskSize", 8, 64, 289, 22, "", 1, kOwnerDraw, id::gbScreen},
    {Kind::Label, id::Label14, "Label14", 8, 88, 0, 0, "Color depth", -1, kNone, id::gbScreen},
    {Kind::ComboList, id::cbColor, "cbColor", 8, 104, 289, 22, "", 2, kOwnerDraw, id::gbScreen,
     "8 bit\n15 bit\n16 bit\n24 bit"},

    {Kind::GroupBox, id::gbResources, "GroupBox4", 8, 384, 305, 113, "Resources", 3, kNone},
    {Kind::CheckBox, id::cbSound, "cbSound", 8, 16, 97, 17, "Redirect sound", 0, kNone, id::gbResources},
    {Kind::CheckBox, id::cbDrives, "cbDrives", 8, 40, 97, 17, "Redirect drives", 1, kNone, id::gbResources},
    {Kind::CheckBox, id::cbPrint, "cbPrint", 8, 64, 97, 17, "Redirect printers", 2, kNone, id::gbResources},
    {Kind::CheckBox, id::cbPorts, "cbPorts", 8, 88, 97, 17, "Redirect ports", 3, kNone, id::gbResources},

    {Kind::Button, id::btOK, "btOK", 320, 8, 75, 25, "OK", 4, kDefault},
    {Kind::Button, id::btCancel, "btCancel", 320, 40, 75, 25, "Cancel", 5, kCancel},
    {Kind::Picture, id::iWarning, "iWarning", 16, 512, 32, 32, nullptr, -1, kStretch},
    // Transparent: the link lies in its empty third and fourth lines.
    {Kind::Label, id::Label2, "Label2", 64, 504, 315, 65,
     "Microsoft RDP Client 5.2 or later is required\r\n(Included with Windows XP SP2)\r\n\r\n\r\n"
     "RDP and Microsoft are registred tradmarks of Microsoft Corporation",
     -1, kTransparent},
    {Kind::Custom, id::lRDP, "lRDP", 64, 536, 191, 13, "Click here to download the latest version", -1,
     kUnderline | kAutoSize, 0, TvxLink::kClassName},
};

constexpr FormDef kForm = {
    "TformRDPSettings", "RDP Settings", 403, 575, Border::Single, /*systemMenu=*/true, /*stayOnTop=*/false,
    Position::DesktopCenter, kControls, static_cast<int>(std::size(kControls)),
};

bool IsSet(std::uint8_t b) { return b != 0; }

}  // namespace

TformRDPSettings::TformRDPSettings() : Form(kForm) {
    TvxLink::Register();
    SetIcon(static_cast<HICON>(LoadImageA(module::Instance(), "RDP_ICON", IMAGE_ICON, 16, 16, 0)));
}

void TformRDPSettings::FormCreate() {
    std::vector<std::string> sizes;
    for (const remote::ScreenSize& s : remote::BuildScreenSizes(DisplayModes())) sizes.push_back(s.text);
    SetItems(id::cbDeskSize, sizes);
    SetPictureIcon(id::iWarning, LoadIcon(nullptr, IDI_WARNING));
    if (TvxLink* link = TvxLink::FromHandle(Item(id::lRDP))) link->Link = kDownloadPage;
}

void TformRDPSettings::Load(const TRDPSettings& from, std::uint16_t fromPort) {
    Handle();
    settings = from;
    port = fromPort;
    // Filling the controls is no change by the user: the handlers stay quiet.
    loading_ = true;
    SetText(id::eServer, settings.Server.Str());
    SetText(id::eUser, settings.UserName.Str());
    SetText(id::eDomain, settings.Domain.Str());
    SetText(id::ePass, settings.Password.Str());
    SetChecked(id::cbShell, IsSet(settings.DefaultShell));
    SetText(id::eShell, settings.Shell.Str());
    SetChecked(id::cbFull, IsSet(settings.FullScreen));
    SetItemIndex(id::cbDeskSize, remote::SelectionFor(settings.DeskSize, static_cast<int>(SendMessageA(
                                                                            Item(id::cbDeskSize), CB_GETCOUNT, 0, 0))));
    SetItemIndex(id::cbColor, remote::SelectionFor(settings.ColorDepth, 4));
    SetChecked(id::cbSound, IsSet(settings.RedirectSound));
    SetChecked(id::cbDrives, IsSet(settings.RedirectDrives));
    SetChecked(id::cbPrint, IsSet(settings.RedirectPrinters));
    SetChecked(id::cbPorts, IsSet(settings.RedirectPorts));
    SetText(id::sePort, std::to_string(port));
    loading_ = false;
    UpdateDependents();
    // Whatever came in, OK waits for a change by the user.
    SetEnabled(id::btOK, false);
}

void TformRDPSettings::Command(int control, int code) {
    if (loading_ || ModalResultValue() != ui::mrNone) return;
    if (code == EN_CHANGE) {
        switch (control) {
        case id::eServer: return eServerChange();
        case id::eUser: return eUserChange();
        case id::eDomain: return eDomainChange();
        case id::ePass: return ePassChange();
        case id::sePort: return sePortChange();
        case id::eShell: return eShellChange();
        default: return;
        }
    }
    if (code == CBN_SELCHANGE) {
        if (control == id::cbDeskSize) cbDeskSizeChange();
        else if (control == id::cbColor) cbColorChange();
        return;
    }
    if (code != BN_CLICKED) return;
    switch (control) {
    case id::cbShell: return cbShellClick();
    case id::cbFull: return cbFullClick();
    case id::cbSound: return cbSoundClick();
    case id::cbDrives: return cbDrivesClick();
    case id::cbPrint: return cbPrintClick();
    case id::cbPorts: return cbPortsClick();
    case id::btOK: return btOKClick();
    case id::btCancel: SetModalResult(ui::mrCancel); return;
    default: return;
    }
}

void TformRDPSettings::eServerChange() {
    remote::AssignShort(settings.Server, Text(id::eServer));
    UpdateOk();
}

void TformRDPSettings::eUserChange() {
    remote::AssignShort(settings.UserName, Text(id::eUser));
    UpdateOk();
}

void TformRDPSettings::eDomainChange() {
    remote::AssignShort(settings.Domain, Text(id::eDomain));
    UpdateOk();
}

void TformRDPSettings::ePassChange() {
    remote::AssignShort(settings.Password, Text(id::ePass));
    UpdateOk();
}

void TformRDPSettings::sePortChange() {
    port = remote::PortFromText(Text(id::sePort));
    UpdateOk();
}

void TformRDPSettings::eShellChange() {
    remote::AssignShort(settings.Shell, Text(id::eShell));
    UpdateOk();
}

void TformRDPSettings::cbShellClick() {
    settings.DefaultShell = Checked(id::cbShell) ? 1 : 0;
    UpdateDependents();
    UpdateOk();
}

void TformRDPSettings::cbFullClick() {
    settings.FullScreen = Checked(id::cbFull) ? 1 : 0;
    UpdateDependents();
    UpdateOk();
}

void TformRDPSettings::cbDeskSizeChange() {
    settings.DeskSize = remote::SelectionField16(ItemIndex(id::cbDeskSize));
    UpdateOk();
}

void TformRDPSettings::cbColorChange() {
    settings.ColorDepth = remote::SelectionField16(ItemIndex(id::cbColor));
    UpdateOk();
}

void TformRDPSettings::cbSoundClick() {
    settings.RedirectSound = Checked(id::cbSound) ? 1 : 0;
    UpdateOk();
}

void TformRDPSettings::cbDrivesClick() {
    settings.RedirectDrives = Checked(id::cbDrives) ? 1 : 0;
    UpdateOk();
}

void TformRDPSettings::cbPrintClick() {
    settings.RedirectPrinters = Checked(id::cbPrint) ? 1 : 0;
    UpdateOk();
}

void TformRDPSettings::cbPortsClick() {
    settings.RedirectPorts = Checked(id::cbPorts) ? 1 : 0;
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
    std::memcpy(&incoming, settings, sizeof incoming);
    const std::uint16_t incomingPort = *port;
    auto form = std::make_unique<TformRDPSettings>();
    form->Load(incoming, incomingPort);
    if (form->ShowModal() != ui::mrOk) return false;
    std::memcpy(settings, &form->settings, sizeof form->settings);
    *port = form->port;
    return true;
}

}  // namespace vexlo
