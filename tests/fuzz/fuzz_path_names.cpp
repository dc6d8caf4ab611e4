// Names from the registry or a shared block become folder names inside the product folder.
// Whatever the bytes, a name that passes the check must stay one component: the path built
// from it, once the system has normalised it, is still directly inside the parent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shared/settings_rules.h"

namespace {

bool LeadByteOfSomeDoubleByteCodePage(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// What the system's path normalisation would make of one component: trailing dots and
// blanks go, a separator or a drive colon would split it, "." and ".." walk.
bool StaysOneComponent(std::string_view name, bool doubleByte) {
    if (name.empty() || name == "." || name == "..") return false;
    int lastSingle = -1;  // the last character when it is a single byte
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (doubleByte && LeadByteOfSomeDoubleByteCodePage(c) && i + 1 < name.size()) {
            ++i;  // the trail byte belongs to the character
            lastSingle = -1;
            continue;
        }
        if (c == '\\' || c == '/' || c == ':' || c < 0x20) return false;
        lastSingle = c;
    }
    return lastSingle != '.' && lastSingle != ' ';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool doubleByte = data[0] & 1;
    const std::string_view name(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto lead = doubleByte ? &LeadByteOfSomeDoubleByteCodePage : nullptr;
    if (vexlo::IsSafePathComponent(name, lead) && !StaysOneComponent(name, doubleByte)) std::abort();
    return 0;
}
