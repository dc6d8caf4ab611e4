#pragma once
// A function of a system DLL, looked up at run time where older systems lack it: the
// library must still load there. Null when the module or the function is missing. The
// form by name asks only for a module already in the process (GetModuleHandle): it loads
// nothing, so it may run under the loader lock.
#include <windows.h>

namespace vexlo {

template <typename Fn>
Fn SystemFunction(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

template <typename Fn>
Fn SystemFunction(const char* module, const char* name) {
    return SystemFunction<Fn>(GetModuleHandleA(module), name);
}

}  // namespace vexlo
