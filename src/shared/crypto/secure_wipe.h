#pragma once
// Clearing key material in a way the optimiser must keep: a plain memset of a buffer
// that is never read again is a dead store and may be dropped.
#include <cstddef>
#include <cstring>

namespace vexlo::crypto {

inline void SecureWipe(void* data, std::size_t size) noexcept {
    if (size == 0) return;
#if defined(__GNUC__) || defined(__clang__)
    std::memset(data, 0, size);
    // The empty asm claims to read the memory behind `data`, so the stores stay.
    __asm__ __volatile__("" : : "r"(data) : "memory");
#else
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    while (size--) *p++ = 0;
#endif
}

}  // namespace vexlo::crypto
