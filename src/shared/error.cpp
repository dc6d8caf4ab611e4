#include "shared/error.h"

#include <atomic>
#include <cstring>
#include <cstddef>
#include <new>
#include <utility>

namespace vexlo {

struct Error::Text {
    std::atomic<long> references;
    char chars[1];
};

Error::Error(std::string_view text)
    : text_(static_cast<Text*>(::operator new(offsetof(Text, chars) + text.size() + 1))) {
    new (&text_->references) std::atomic<long>(1);
    std::memcpy(text_->chars, text.data(), text.size());
    text_->chars[text.size()] = '\0';
}

Error::Error(const Error& other) noexcept : std::exception(other), text_(other.text_) {
    text_->references.fetch_add(1, std::memory_order_relaxed);
}

Error& Error::operator=(const Error& other) noexcept {
    Error keep(other);
    std::swap(text_, keep.text_);
    return *this;
}

Error::~Error() {
    if (text_->references.fetch_sub(1, std::memory_order_acq_rel) == 1) ::operator delete(text_);
}

const char* Error::what() const noexcept { return text_->chars; }

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
