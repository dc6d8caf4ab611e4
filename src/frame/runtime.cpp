// The C++ runtime's default terminate handler prints the demangled type of the escaping
// exception, and drags the whole demangler into the DLL for it. Nothing may escape our
// boundaries in the first place, and a process like Explorer has nowhere to print to,
// so the library's handler just ends the process as terminate must.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
