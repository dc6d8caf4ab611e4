#include "shared/error.h"

#include <atomic>
#include <utility>

namespace vexlo {

struct Error::Text {
    explicit Text(std::string_view text) : chars(text) {}
    std::atomic<long> references{1};
    const std::string chars;
};

Error::Error(std::string_view text) : text_(new Text(text)) {}

Error::Error(const Error& other) noexcept : std::exception(other), text_(other.text_) {
    text_->references.fetch_add(1, std::memory_order_relaxed);
}

Error& Error::operator=(const Error& other) noexcept {
    Error keep(other);
    std::swap(text_, keep.text_);
    return *this;
}

Error::~Error() {
    if (text_->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete text_;
}

const char* Error::what() const noexcept { return text_->chars.c_str(); }

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
