#pragma once
// Where a module keeps the address of a function it imports by name (its import address
// table), and a replacement of that address: how the host's --high-contrast option makes
// the library in its own process see the setting on, and how the tests put recorders in.
#include <windows.h>

namespace vexlo::host {

// The slot of module's import of function from dll (compared without case), or null.
void** ImportSlot(HMODULE module, const char* dll, const char* function);
// Writes value into the slot and gives back what was there.
void* SwapImport(void** slot, void* value);

}  // namespace vexlo::host
