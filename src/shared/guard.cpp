#include "shared/guard.h"

#include <cstdio>

namespace vexlo {

namespace {
// Per thread: hooks of several kinds may nest on one thread.
thread_local int t_hookDepth = 0;
}  // namespace

void LogFailure(const char* file, int line, const char* step, const char* what, unsigned long code) noexcept {
    char place[128] = "";
    if (file) {
        // The file's name is enough to find it; the build's folders are not.
        const char* name = file;
        for (const char* p = file; *p; ++p)
            if (*p == '/' || *p == '\\') name = p + 1;
        std::snprintf(place, sizeof place, "%s(%d): ", name, line);
    }
    char error[32] = "";
    if (code != 0) std::snprintf(error, sizeof error, " (error %lu)", code);
    char text[640];
    std::snprintf(text, sizeof text, "Vexlo: %s%s: %s%s\n", place, step ? step : "?", what ? what : "?", error);
    OutputDebugStringA(text);
}

void LogCaught(const char* file, int line, const char* step) noexcept {
    LogFailure(file, line, step, CurrentExceptionText(), CurrentExceptionCode());
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

unsigned long CurrentExceptionCode() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (const SystemError& e) {
        return e.code();
    } catch (...) {
        return 0;
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
