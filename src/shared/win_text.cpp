#include "shared/win_text.h"

namespace vexlo {

std::string WindowText(HWND wnd) {
    const int len = GetWindowTextLengthA(wnd);
    if (len <= 0) return {};
    std::string s(static_cast<size_t>(len) + 1, '\0');
    const int got = GetWindowTextA(wnd, s.data(), len + 1);
    s.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return s;
}

std::string AnsiUpperCase(std::string s) {
    if (!s.empty()) CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

}  // namespace vexlo
