#pragma once
// The one boundary guard: every export, hook procedure and COM method runs its body
// through it, so no C++ exception ever reaches a caller, Explorer or the system.
#include <utility>

namespace vexlo {

template <typename Result, typename Body>
Result Guarded(Result failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failure;
    }
}

}  // namespace vexlo
