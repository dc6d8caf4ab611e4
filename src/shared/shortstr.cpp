#include "shared/shortstr.h"

#include <algorithm>
#include <cstring>

namespace vexlo {

ShortString ShortString::From(std::string_view s) {
    ShortString out;
    out.length = static_cast<std::uint8_t>(std::min(s.size(), kMaxLength));
    std::memcpy(out.text.data(), s.data(), out.length);
    return out;
}

ShortString ShortString::Read(const void* raw) {
    ShortString out;
    if (!raw) return out;
    const auto* bytes = static_cast<const std::uint8_t*>(raw);
    out.length = bytes[0];
    std::memcpy(out.text.data(), bytes + 1, out.length);
    return out;
}

void ShortString::WriteTo(void* raw) const {
    if (!raw) return;
    auto* bytes = static_cast<std::uint8_t*>(raw);
    bytes[0] = length;
    std::memcpy(bytes + 1, text.data(), length);
}

}  // namespace vexlo
