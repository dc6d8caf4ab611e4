#pragma once
// The open security descriptor: everyone (the world SID) gets GENERIC_ALL. The shared
// blocks that processes of other accounts must open are created with it.
#include <windows.h>

#include <string>

#include "shared/error.h"

namespace vexlo {

// Start-up step: builds the descriptor step by step; a failing step raises SystemError
// and loading stops. The shut-down step frees what was allocated.
bool StartOpenSecurity();
void StopOpenSecurity();

// The open security attributes (length 12, the descriptor, not inheritable); null
// before start-up and after shut-down.
SECURITY_ATTRIBUTES* OpenSecurity();

}  // namespace vexlo
