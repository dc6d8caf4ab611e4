#pragma once
// Work a module does on first use instead of at load, once per process.
//
// DllMain runs under the loader lock, and the documented rule for it ("Dynamic-Link
// Library Best Practices") forbids anything that may load another DLL or wait for
// another thread: no user32, gdi32 or shell32, no COM. Wine tolerates such calls; on
// Windows they can deadlock Explorer. So what no caller sees at once starts when it is
// first needed. InitOnceExecuteOnce would do, but it needs Windows Vista and the library
// also runs on older systems: this gives the same guarantee with interlocked operations.
#include <windows.h>

namespace vexlo {

class RunOnce {
public:
    constexpr RunOnce() noexcept = default;
    RunOnce(const RunOnce&) = delete;
    RunOnce& operator=(const RunOnce&) = delete;

    // Runs init unless an earlier call succeeded; a thread that comes while another runs it
    // waits for the outcome. Init returns false or raises when it failed: that caller gets
    // the failure (false, or the exception) and reports it as it reports its own, and the
    // next call tries again.
    template <typename Init>
    bool Run(Init&& init) {
        for (;;) {
            const LONG was = InterlockedCompareExchange(&state_, kRunning, kIdle);
            if (was == kDone) return true;
            if (was == kIdle) break;
            Sleep(1);  // another thread is running init; it takes milliseconds at most
        }
        bool ok = false;
        try {
            ok = init();
        } catch (...) {
            InterlockedExchange(&state_, kIdle);
            throw;
        }
        InterlockedExchange(&state_, ok ? kDone : kIdle);
        return ok;
    }

    bool Done() noexcept { return InterlockedCompareExchange(&state_, kDone, kDone) == kDone; }

    // Forgets the work, for a module that released what init made: at unload, or in a
    // test that starts a module again. No other thread may be using it then.
    void Reset() noexcept { InterlockedExchange(&state_, kIdle); }

private:
    enum : LONG { kIdle, kRunning, kDone };
    volatile LONG state_ = kIdle;
};

}  // namespace vexlo
