#pragma once
// The Icon Manager: a context-menu extension that puts a shortcut to, or a copy of, the
// selected file or folder onto another desktop of the product.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shell/context_rules.h"

namespace vexlo {

// A new TContextIcons object, asked for the interface iid.
HRESULT CreateContextIcons(REFIID iid, void** out);

// The desktops that may receive items, read from the settings now.
std::vector<IconTarget> IconTargets();
// The command at offset (as the menu numbers them) for the selected item: a shortcut in,
// or a copy into, the target's folder. E_INVALIDARG for an offset past the targets; S_OK
// otherwise, whether or not the file work succeeded. InvokeCommand and Windows 11's
// command both carry their commands out here.
HRESULT RunIconCommand(const std::wstring& selected, std::uint32_t offset);

}  // namespace vexlo
