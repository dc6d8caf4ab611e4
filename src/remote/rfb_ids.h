#pragma once
// Control ids of the RFB settings dialog; the tests find the controls by them. A radio
// group's buttons take the ids right after the group's own (ui::RadioItemId).
namespace vexlo::rfb_ids {
enum : int {
    gbConnection = 300,
    Label8,
    eServer,
    Label11,
    ePass,
    btOK,
    btCancel,
    PageControl1,
    tsColour,
    tsInputs,
    tsMisc,
    cbAuto,
    rgEncoding = 320,  // buttons 321..323
    rgColour = 330,    // buttons 331..334
    cbPointer = 340,
    cbKeyboard,
    cbSendClip,
    cbAcceptClip,
    cbEmulate3,
    cbRate,
    Label1,
    cbMenuKey,
    cbShared,
    cbFull,
    cbCursor,
    cbResize,
    iWarning,
    Label2,
    lVNC,
};
}
