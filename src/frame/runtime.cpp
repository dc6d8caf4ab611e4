// Runtime support that a DLL loaded and unloaded many times in one process needs.
#include <windows.h>

#include <cstdint>
#include <cstdlib>

#include "frame/runtime.h"
#include "frame/stack_guard_mix.h"
#include "shared/system_function.h"

namespace __gnu_cxx {
// The C++ runtime's default terminate handler prints the demangled type of the escaping
// exception, and drags the whole demangler into the DLL for it. Nothing may escape our
// boundaries in the first place, and a process like Explorer has nowhere to print to,
// so the library's handler just ends the process as terminate must.
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The stack protector's canary and failure handlers. The toolchain's own ones take the
// canary from the crypto provider in a constructor, that is inside DllMain: that loads
// rsaenh.dll under the loader lock, which Windows forbids, and costs most of a load. The
// canary is instead mixed from values that need no other DLL: the clock, counters and ids
// that the system compiler's runtime seeds its security cookie with, which another
// process can observe or guess, and with them what it cannot: the process's pointer
// cookie (EncodePointer, a per-process secret) and addresses that address-space layout
// randomisation moves (this image, the stack, the process heap). All of it goes through a
// 64-bit mixer that spreads it over the canary's full width (frame/stack_guard_mix.h).
extern "C" {
std::uintptr_t __stack_chk_guard = 0xBB40E64Eu;

// A smashed stack or a failed checked copy: end the process at once, with the code the
// system uses for a stack buffer overrun, running nothing more of its state.
[[noreturn]] void __stack_chk_fail() {
    TerminateProcess(GetCurrentProcess(), 0xC0000409u);  // STATUS_STACK_BUFFER_OVERRUN
    std::abort();
}
[[noreturn]] void __stack_chk_fail_local() { __stack_chk_fail(); }
[[noreturn]] void __chk_fail() { __stack_chk_fail(); }
}

namespace vexlo::runtime {

namespace {
std::uint64_t Word(const void* p) noexcept { return reinterpret_cast<std::uintptr_t>(p); }
std::uint64_t Word(DWORD low, DWORD high) noexcept { return (std::uint64_t{high} << 32) | low; }
}  // namespace

void SeedStackGuard() noexcept {
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    // Looked up for systems before XP SP2, which lack it; the lookup loads nothing, as the
    // loader lock requires.
    using EncodeFn = PVOID(WINAPI*)(PVOID);
    const auto encode = SystemFunction<EncodeFn>("kernel32.dll", "EncodePointer");
    int local = 0;
    const std::uint64_t words[] = {
        Word(time.dwLowDateTime, time.dwHighDateTime),
        Word(GetCurrentProcessId(), GetCurrentThreadId()),
        Word(GetTickCount(), 0),
        static_cast<std::uint64_t>(count.QuadPart),
        Word(&local),
        Word(reinterpret_cast<const void*>(&SeedStackGuard)),
        Word(GetProcessHeap()),
        // The process cookie, through a value of its own and a stack address.
        encode ? Word(encode(reinterpret_cast<PVOID>(&local))) : 0,
        encode ? Word(encode(nullptr)) : 0,
    };
    __stack_chk_guard = MixStackGuard(words, sizeof words / sizeof words[0]);
}

}  // namespace vexlo::runtime

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
