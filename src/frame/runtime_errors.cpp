// The C++ runtime's error-raising functions, as the library's DLL links them.
#include <exception>
#include <new>
#include <typeinfo>

// The standard containers and strings report misuse through these functions. The C++
// runtime's own versions throw the standard's string-carrying errors, whose text lives in a
// second, reference-counted string implementation: about 80 KB of the DLL for errors that
// only a library fault can raise. These throw the same kinds where the kind carries no
// text, and otherwise an error whose text is the runtime's own message; every boundary of
// the library catches std::exception (or anything) and logs what(), so nothing is lost.
// The library catches none of the standard's logic or runtime error types by name.
namespace {

class RuntimeFault : public std::exception {
public:
    explicit RuntimeFault(const char* text) noexcept : text_(text ? text : "C++ runtime error") {}
    const char* what() const noexcept override { return text_; }

private:
    const char* text_;  // the runtime passes literals
};

}  // namespace

namespace std {
void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_logic_error(const char* text) { throw RuntimeFault(text); }
void __throw_domain_error(const char* text) { throw RuntimeFault(text); }
void __throw_invalid_argument(const char* text) { throw RuntimeFault(text); }
void __throw_length_error(const char* text) { throw RuntimeFault(text); }
void __throw_out_of_range(const char* text) { throw RuntimeFault(text); }
// The format's arguments are positions and sizes; the format alone names the fault.
void __throw_out_of_range_fmt(const char* format, ...) { throw RuntimeFault(format); }
void __throw_runtime_error(const char* text) { throw RuntimeFault(text); }
void __throw_range_error(const char* text) { throw RuntimeFault(text); }
void __throw_overflow_error(const char* text) { throw RuntimeFault(text); }
void __throw_underflow_error(const char* text) { throw RuntimeFault(text); }
}  // namespace std
