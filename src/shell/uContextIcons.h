#pragma once
// The Icon Manager: a context-menu extension that puts a shortcut to, or a copy of, the
// selected file or folder onto another desktop of the product.
#include <windows.h>

namespace vexlo {

// A new TContextIcons object, asked for the interface iid.
HRESULT CreateContextIcons(REFIID iid, void** out);

}  // namespace vexlo
