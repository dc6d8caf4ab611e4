#pragma once
// Windows 11's first-level context menu: the Icon Manager and the desktop's commands as
// IExplorerCommand classes, which Explorer creates through the sparse package
// (package_manifest.h). The classic extensions and the desktop menu hook stay for
// Windows 7 to 10 and for "Show more options".
#include <windows.h>

namespace vexlo {

// A new command object, asked for the interface iid.
HRESULT CreateIconManagerCommand(REFIID iid, void** out);
HRESULT CreateDesktopCommand(REFIID iid, void** out);

}  // namespace vexlo
