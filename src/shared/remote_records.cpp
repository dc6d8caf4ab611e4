#include "shared/remote_records.h"

namespace vexlo {

void ResetRDPSettings(TRDPSettings& s) {
    s = TRDPSettings{};
    s.DefaultShell = 1;
    s.FullScreen = 1;
    s.DeskSize = 0;
    s.ColorDepth = 2;  // 16 bits per pixel
    s.RedirectSound = 1;
    s.RedirectDrives = 1;
    s.RedirectPrinters = 1;
    s.RedirectPorts = 0;
}

void ResetRFBSettings(TRFBSettings& s) {
    s = TRFBSettings{};
    s.FullScreen = 1;
    s.SendPointer = 1;
    s.RenderCursor = 0;
    s.AllowResize = 1;
    s.ColourLevel = 0;
    s.Encoding = 0;
    s.AutoSelect = 1;
    s.Shared = 0;
    s.SendKeyboard = 1;
    s.SendClipboard = 1;
    s.AcceptClipboard = 1;
    s.Emulate3Buttons = 0;
    s.RateLimitMouse = 0;
    s.MenuKey = 7;  // F8
}

}  // namespace vexlo
