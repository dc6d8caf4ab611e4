// The boundary guards' reporting: the one failure log line and the exception's code (guard.h).
#include "shared/guard.h"

#include <cstddef>

namespace vexlo {

namespace {
// Per thread: hooks of several kinds may nest on one thread.
thread_local int t_hookDepth = 0;
}  // namespace

namespace {

// A line built in place, cut short when full. (Not the C library's formatter: it would
// bring its whole floating-point printing into the DLL for a few numbers.)
class Line {
public:
    Line& operator<<(const char* s) {
        for (; s && *s && used_ < sizeof text_ - 1; ++s) text_[used_++] = *s;
        return *this;
    }
    Line& operator<<(unsigned long n) {
        char digits[12];
        int count = 0;
        do digits[count++] = static_cast<char>('0' + n % 10);
        while ((n /= 10) != 0);
        while (count > 0 && used_ < sizeof text_ - 1) text_[used_++] = digits[--count];
        return *this;
    }
    const char* c_str() {
        text_[used_] = '\0';
        return text_;
    }

private:
    char text_[640];
    std::size_t used_ = 0;
};

}  // namespace

void LogFailure(const char* file, int line, const char* step, const char* what, unsigned long code) noexcept {
    Line text;
    text << "Vexlo: ";
    if (file) {
        // The file's name is enough to find it; the build's folders are not.
        const char* name = file;
        for (const char* p = file; *p; ++p)
            if (*p == '/' || *p == '\\') name = p + 1;
        text << name << "(" << static_cast<unsigned long>(line) << "): ";
    }
    text << (step ? step : "?") << ": " << (what ? what : "?");
    if (code != 0) text << " (error " << code << ")";
    text << "\n";
    OutputDebugStringA(text.c_str());
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
