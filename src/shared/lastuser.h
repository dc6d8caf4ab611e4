#pragma once
// The user name last confirmed in the logon or new-password dialog: the only value the
// library writes in the product key.
#include <string>

namespace vexlo {

// Empty when the key or the value is missing or unreadable; never raises.
std::string GetLastUser();
// Creates the product key when missing; a failed write raises
// "Failed to set data for 'LastUser'" to the dialog that called it.
void SetLastUser(const std::string& name);

}  // namespace vexlo
