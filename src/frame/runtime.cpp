// Runtime support that a DLL loaded and unloaded many times in one process needs.
#include <windows.h>

#include <cstdlib>

#include "frame/runtime.h"

namespace __gnu_cxx {
// The C++ runtime's default terminate handler prints the demangled type of the escaping
// exception, and drags the whole demangler into the DLL for it. Nothing may escape our
// boundaries in the first place, and a process like Explorer has nowhere to print to,
// so the library's handler just ends the process as terminate must.
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The statically linked thread runtime takes a thread-local storage slot the first time it
// is used and never gives it back. Each load of the DLL would then cost the process one of
// its 1088 slots for good, and Explorer, which loads and unloads shell extensions as it
// pleases, would in the end fail in any module that needs a slot. The link routes every
// TlsAlloc of this DLL through RecordingTlsAlloc (ld --wrap on the import), so the slots can
// be released when the DLL is unloaded.
// The wrap's symbols as the assembler names them: ld's "__real_"/"__wrap_" go before the
// import's name as --wrap gives it (cmake/win32.cmake), and 32-bit names then take the
// leading underscore of every C symbol (and the import its stdcall suffix); 64-bit names
// neither.
#if defined(_WIN64)
#define VEXLO_TLSALLOC_SYMBOL(prefix) prefix "__imp_TlsAlloc"
#else
#define VEXLO_TLSALLOC_SYMBOL(prefix) "_" prefix "_imp__TlsAlloc@0"
#endif

namespace {

constexpr LONG kMaxSlots = 16;
DWORD g_slots[kMaxSlots];
LONG g_slotCount = 0;

extern "C" DWORD(WINAPI* const g_realTlsAlloc)() asm(VEXLO_TLSALLOC_SYMBOL("__real_"));

DWORD WINAPI RecordingTlsAlloc() {
    const DWORD slot = g_realTlsAlloc();
    if (slot != TLS_OUT_OF_INDEXES) {
        const LONG at = InterlockedIncrement(&g_slotCount) - 1;
        if (at < kMaxSlots) g_slots[at] = slot;
    }
    return slot;
}

}  // namespace

extern "C" DWORD(WINAPI* const g_wrappedTlsAlloc)() asm(VEXLO_TLSALLOC_SYMBOL("__wrap_")) = RecordingTlsAlloc;

namespace vexlo::runtime {

void ReleaseThreadSlots() noexcept {
    const LONG count = g_slotCount < kMaxSlots ? g_slotCount : kMaxSlots;
    for (LONG i = 0; i < count; ++i) TlsFree(g_slots[i]);
    g_slotCount = 0;
}

}  // namespace vexlo::runtime
