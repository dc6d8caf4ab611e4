#pragma once
// The library of the host's own bitness: the 64-bit host plays its part with the 64-bit twin.
#ifdef _WIN64
#define VEXLO_HOST_DLL "Vexlo64.dll"
#else
#define VEXLO_HOST_DLL "Vexlo.dll"
#endif
