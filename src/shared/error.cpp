#include "shared/error.h"

namespace vexlo {

std::string FormatMessageText(std::string_view pattern, std::string_view value) {
    std::string out(pattern);
    const auto at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, value.data(), value.size());
    return out;
}

void RaiseFormatted(std::string_view pattern, std::string_view value) {
    throw Error(FormatMessageText(pattern, value));
}

}  // namespace vexlo
