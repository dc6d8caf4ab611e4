#pragma once
// Guards for every kind of boundary where the library's code is called from outside: an
// export, a COM method, a hook procedure, a window procedure. No C++ exception ever
// crosses one of them. Each guard writes what it caught to the debugger output, so a
// failure that the caller never sees can still be found.
#include <windows.h>

#include <exception>
#include <new>
#include <optional>
#include <utility>

#include "shared/error.h"

namespace vexlo {

// The one way the library reports a failure that it then turns into a default: a line
// "Vexlo: <file>(<line>): <step>: <what> (error <code>)" on the debugger output, where a
// developer looks (a debugger's output window, DebugView; Wine's debugstr channel). A null
// file leaves out the place, a code of 0 the error. Never raises.
void LogFailure(const char* file, int line, const char* step, const char* what, unsigned long code) noexcept;
// Inside a catch block: logs the exception being handled with its error code.
void LogCaught(const char* file, int line, const char* step) noexcept;
#define VEXLO_LOG_CAUGHT(step) ::vexlo::LogCaught(__FILE__, __LINE__, (step))

// The boundaries' form: "Vexlo: <where>: <what>".
inline void ReportCaught(const char* where, const char* what) noexcept { LogFailure(nullptr, 0, where, what, 0); }
// The text of the exception being handled; call inside a catch block.
const char* CurrentExceptionText() noexcept;
// The system error code of the exception being handled: a SystemError's own, 8 (not enough
// memory) for bad_alloc, else 0. Call inside a catch block.
unsigned long CurrentExceptionCode() noexcept;

// Exports: the body's result, or the export's stated failure result.
template <typename Result, typename Body>
Result Guarded(Result failure, const char* where, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        LogCaught(nullptr, 0, where);
        return failure;
    }
}

// The result a COM caller gets for the exception being handled: E_OUTOFMEMORY when
// memory ran out, the system's code for a failed system call, E_FAIL for the rest.
HRESULT HresultOfCurrentException() noexcept;

// COM methods: the body's HRESULT, or the one that names the failure.
template <typename Body>
HRESULT GuardedCom(const char* where, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        LogCaught(nullptr, 0, where);
        return HresultOfCurrentException();
    }
}

// True on a thread that is inside a hook procedure of the library. A hook runs inside
// another program's message retrieval (or, for the low-level keyboard hook, inside the
// system's input path), where a window or a message box would block or reenter it:
// code that would show one asks here first and only reports instead.
bool InHookProcedure() noexcept;

// The result of a hook body: pass the event on (the default), or swallow it with a result.
struct HookResult {
    bool swallow = false;
    LRESULT result = 0;
    static HookResult Pass() { return {}; }
    static HookResult Swallow(LRESULT r = 1) { return {true, r}; }
};

namespace detail {
class HookScope {
public:
    HookScope() noexcept;
    ~HookScope();
    HookScope(const HookScope&) = delete;
    HookScope& operator=(const HookScope&) = delete;
};
}  // namespace detail

// Whether the body may lead to windows of the library: only the keyboard navigation of
// modeless forms, which hands keys to the form's own dialog handling as a message loop would.
enum class HookWindows { Forbidden, Allowed };

// Hook procedures: the body runs only for code >= 0 (as the system requires); whatever it
// does, failure included, the event goes on to the next hook unless the body chose to
// swallow it.
template <typename Body>
LRESULT GuardedHook(const char* where, HHOOK next, int code, WPARAM wp, LPARAM lp, Body&& body,
                    HookWindows windows = HookWindows::Forbidden) noexcept {
    if (code >= 0) {
        try {
            std::optional<detail::HookScope> scope;
            if (windows == HookWindows::Forbidden) scope.emplace();
            const HookResult r = std::forward<Body>(body)();
            if (r.swallow) return r.result;
        } catch (...) {
            LogCaught(nullptr, 0, where);
        }
    }
    return CallNextHookEx(next, code, wp, lp);
}

}  // namespace vexlo
