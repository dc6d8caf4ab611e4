#pragma once
// Passwords and pass phrases in memory: every copy the library makes is wiped when it is no
// longer needed, so nothing of it stays behind in freed blocks or on the stack.
#include <string>
#include <string_view>
#include <utility>

#include "shared/crypto/secure_wipe.h"
#include "shared/shortstr.h"

namespace vexlo {

inline void Wipe(std::string& s) noexcept {
    // The whole buffer: a text that shrank leaves its old bytes beyond its length.
    crypto::SecureWipe(s.data(), s.capacity());
    s.clear();
}

inline void Wipe(ShortString& s) noexcept { crypto::SecureWipe(&s, sizeof s); }

// A text that holds a secret, wiped when it goes. Not copyable, so no copy escapes unseen.
class SecretString {
public:
    SecretString() = default;
    explicit SecretString(std::string text) noexcept : text_(std::move(text)) {}
    SecretString(const SecretString&) = delete;
    SecretString& operator=(const SecretString&) = delete;
    ~SecretString() { Wipe(text_); }

    std::string_view View() const { return text_; }
    const std::string& Str() const { return text_; }
    const char* c_str() const { return text_.c_str(); }

private:
    std::string text_;
};

// Wipes a record or short string that holds a secret when the scope ends.
template <typename T>
class WipeOnExit {
public:
    explicit WipeOnExit(T& value) noexcept : value_(value) {}
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;
    ~WipeOnExit() { crypto::SecureWipe(&value_, sizeof value_); }

private:
    T& value_;
};

}  // namespace vexlo
