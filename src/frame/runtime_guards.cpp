// Thread-safe initialisation of function-local statics, as the library's DLL links it.
//
// The compiler guards each such static with a 64-bit word whose first byte it reads before
// calling these functions: non-zero means "made". The C++ runtime's own versions wait on a
// condition variable of the static thread runtime; these keep the DLL smaller. The word's
// first 32 bits hold its state, changed only by interlocked operations (in kernel32 on
// every system the library loads on): 0 not made, kPending while one thread makes it, 1
// made. A thread that comes while another makes it waits for the outcome, giving up its
// time slice; the library's statics are made in microseconds. A maker that raises puts the
// word back to 0, so the next caller tries again, as the standard asks.
#include <windows.h>

namespace {

constexpr LONG kMade = 1;
constexpr LONG kPending = 0x100;  // the first byte stays 0, "not made", for the inline check

volatile LONG* State(long long* guard) { return reinterpret_cast<volatile LONG*>(guard); }

}  // namespace

extern "C" {

int __cxa_guard_acquire(long long* guard) {
    for (;;) {
        const LONG was = InterlockedCompareExchange(State(guard), kPending, 0);
        if (was == 0) return 1;      // this thread makes it
        if (was == kMade) return 0;  // made meanwhile
        if (!SwitchToThread()) Sleep(1);
    }
}

void __cxa_guard_release(long long* guard) { InterlockedExchange(State(guard), kMade); }

void __cxa_guard_abort(long long* guard) { InterlockedExchange(State(guard), 0); }

}  // extern "C"
