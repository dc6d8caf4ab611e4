#pragma once
// The library's one error type. It carries a user-facing text; boundaries (exports,
// hooks, COM methods, form event handlers) catch it and never let it reach a caller.
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace vexlo {

// The text is shared between copies, so copying an error (as throwing does) cannot fail.
// It derives from std::exception directly: the standard's string-carrying errors would
// bring a second, reference-counted string implementation into the DLL.
class Error : public std::exception {
public:
    explicit Error(std::string_view text);
    Error(const Error& other) noexcept;
    Error& operator=(const Error& other) noexcept;
    ~Error() override;
    const char* what() const noexcept override;

private:
    struct Text;
    Text* text_;
};

// A failed system call: carries the system's error code (a Win32 error), so boundaries
// that report codes (COM methods) can give the caller the real cause.
class SystemError : public Error {
public:
    SystemError(const std::string& text, std::uint32_t code) : Error(text), code_(code) {}
    std::uint32_t code() const { return code_; }

private:
    std::uint32_t code_;
};

// Replaces the first "%s" of a message pattern with a value; the patterns are fixed
// texts of the library, so only the one placeholder kind is needed.
std::string FormatMessageText(std::string_view pattern, std::string_view value);

[[noreturn]] void RaiseFormatted(std::string_view pattern, std::string_view value);

// Registry failures, with the value name in place of %s.
inline constexpr std::string_view kFailedToSetData = "Failed to set data for '%s'";
inline constexpr std::string_view kFailedToGetData = "Failed to get data for '%s'";
inline constexpr std::string_view kInvalidDataType = "Invalid data type for '%s'";

}  // namespace vexlo
