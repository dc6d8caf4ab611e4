#pragma once
// The Run-as extension: "Run as..." in the context menu of program files, on systems
// older than Windows XP (which bring their own).
#include <windows.h>

namespace vexlo {

// A new TContextMenuRunAs object, asked for the interface iid.
HRESULT CreateContextMenuRunAs(REFIID iid, void** out);

}  // namespace vexlo
