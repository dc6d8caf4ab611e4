#pragma once
// Writes and removes the registry entries of one shell extension class.
#include "shell/registration_table.h"

namespace vexlo {

// Stops at the first key or value that cannot be written (false); what was written
// before stays.
bool RegisterShellClass(const ShellClass& cls);
// Removes the class's keys; a key that still holds other handlers stays, as do the
// "Approved" values. Deletions that fail are passed over.
void UnregisterShellClass(const ShellClass& cls);

}  // namespace vexlo
