#include "shared/guard.h"

#include <cstdio>

namespace vexlo {

namespace {
// Per thread: hooks of several kinds may nest on one thread.
thread_local int t_hookDepth = 0;
}  // namespace

void ReportCaught(const char* where, const char* what) noexcept {
    char line[512];
    std::snprintf(line, sizeof line, "Vexlo: %s: %s\n", where ? where : "?", what ? what : "?");
    OutputDebugStringA(line);
}

const char* CurrentExceptionText() noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
}

HRESULT HresultOfCurrentException() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const SystemError& e) {
        const HRESULT hr = HRESULT_FROM_WIN32(e.code());
        // A call that failed without saying why is still a failure.
        return FAILED(hr) ? hr : E_FAIL;
    } catch (...) {
        return E_FAIL;
    }
}

bool InHookProcedure() noexcept { return t_hookDepth > 0; }

namespace detail {
HookScope::HookScope() noexcept { ++t_hookDepth; }
HookScope::~HookScope() { --t_hookDepth; }
}  // namespace detail

}  // namespace vexlo
