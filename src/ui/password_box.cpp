#include "ui/password_box.h"

#include <algorithm>
#include <cstddef>

#include "shared/crypto/secure_wipe.h"
#include "shared/error.h"
#include "shared/guard.h"

namespace vexlo::ui {

namespace {

// The stand-ins: the private use area from U+E000, which no code page maps and no font
// needs to draw (the box shows its password character for every one of them).
constexpr wchar_t kFirstStandIn = 0xE000;
constexpr unsigned kStandIns = 0xF900 - 0xE000;
constexpr wchar_t kProp[] = L"VexloPasswordBox";

struct Box {
    WNDPROC original = nullptr;
    unsigned used = 0;                // stand-ins handed out; each one keeps its character
    wchar_t chars[kStandIns] = {};    // the character behind stand-in kFirstStandIn + i
    ~Box() { crypto::SecureWipe(chars, sizeof chars); }
};

Box* BoxOf(HWND wnd) { return static_cast<Box*>(GetPropW(wnd, kProp)); }

// A wide text that holds a password: wiped, whole buffer, when it goes.
struct WipedWide {
    std::wstring text;
    ~WipedWide() { crypto::SecureWipe(text.data(), text.capacity() * sizeof(wchar_t)); }
};

LRESULT CallOriginal(const Box& box, HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    return CallWindowProcW(box.original, wnd, msg, wp, lp);
}

// What the edit holds: stand-ins only, nothing to wipe.
std::wstring StandInsHeld(const Box& box, HWND wnd) {
    const auto length = static_cast<std::size_t>(std::max<LRESULT>(0, CallOriginal(box, wnd, WM_GETTEXTLENGTH, 0, 0)));
    std::wstring text(length + 1, L'\0');
    const LRESULT got = CallOriginal(box, wnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::clamp<std::size_t>(static_cast<std::size_t>(std::max<LRESULT>(0, got)), 0, length));
    return text;
}

wchar_t RealOf(const Box& box, wchar_t c) {
    const unsigned i = static_cast<unsigned>(c) - kFirstStandIn;
    return c >= kFirstStandIn && i < box.used ? box.chars[i] : c;
}

void RealText(const Box& box, HWND wnd, WipedWide& out) {
    out.text = StandInsHeld(box, wnd);
    for (wchar_t& c : out.text) c = RealOf(box, c);
}

// Hands out stand-ins for `count` more characters. A full table starts afresh from the
// text the box holds now (its undo copy is dropped: it would name stand-ins no longer
// kept). False when the box's own text leaves no room.
bool MakeRoom(Box& box, HWND wnd, std::size_t count) {
    if (box.used + count <= kStandIns) return true;
    WipedWide real;
    RealText(box, wnd, real);
    if (real.text.size() + count > kStandIns) return false;
    DWORD from = 0, to = 0;
    CallOriginal(box, wnd, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    crypto::SecureWipe(box.chars, sizeof box.chars);
    box.used = 0;
    std::wstring held(real.text.size(), L'\0');
    for (std::size_t i = 0; i < held.size(); ++i) {
        box.chars[box.used] = real.text[i];
        held[i] = static_cast<wchar_t>(kFirstStandIn + box.used++);
    }
    CallOriginal(box, wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(held.c_str()));
    CallOriginal(box, wnd, EM_SETSEL, from, to);
    return true;
}

// Stand-ins for a text entered; the text itself is the caller's to wipe.
std::wstring StandInsFor(Box& box, HWND wnd, std::wstring_view real) {
    if (!MakeRoom(box, wnd, real.size())) return {};
    std::wstring held(real.size(), L'\0');
    for (std::size_t i = 0; i < real.size(); ++i) {
        box.chars[box.used] = real[i];
        held[i] = static_cast<wchar_t>(kFirstStandIn + box.used++);
    }
    return held;
}

// Replaces the whole text: the characters of the text it replaces go with it (the edit
// keeps no undo copy of a text set by a program).
void SetReal(Box& box, HWND wnd, std::wstring_view real) {
    crypto::SecureWipe(box.chars, sizeof box.chars);
    box.used = 0;
    const std::wstring held = StandInsFor(box, wnd, real.substr(0, kStandIns));
    CallOriginal(box, wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(held.c_str()));
}

// The clipboard's text up to its first line end, as a one-line edit pastes it.
void Paste(Box& box, HWND wnd) {
    if (!OpenClipboard(wnd)) return;
    struct Close {
        ~Close() { CloseClipboard(); }
    } close;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const auto* text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    if (!text) return;
    struct Unlock {
        HANDLE data;
        ~Unlock() { GlobalUnlock(data); }
    } unlock{data};
    // Another program put the block there: its text ends at its first zero or at the
    // block's end, whichever comes first.
    std::wstring_view pasted(text, GlobalSize(data) / sizeof(wchar_t));
    pasted = pasted.substr(0, pasted.find_first_of(std::wstring_view(L"\r\n\0", 3)));
    const std::wstring held = StandInsFor(box, wnd, pasted);
    CallOriginal(box, wnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(held.c_str()));
}

// Windows' own password edits refuse their text to other processes; this box refuses it
// to every other thread too, which reads an empty box (GetWindowText of another process's
// window, screen readers and the like). The library reads the box through
// PasswordBoxText, which sends no message, so even its own thread's code running inside a
// message sent from elsewhere (InSendMessageEx tells of that) gets nothing by a message.
bool SentFromAnotherThread() {
    return (InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_NOTIFY | ISMEX_CALLBACK)) != 0;
}

LRESULT Route(Box& box, HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CHAR:
        case WM_IME_CHAR:
            // Control characters (Backspace, Ctrl+Z, Ctrl+V ...) are commands, not text.
            if (wp >= 0x20 && wp != 0x7F) {
                const wchar_t c = static_cast<wchar_t>(wp);
                const std::wstring held = StandInsFor(box, wnd, std::wstring_view(&c, 1));
                if (held.empty()) return 0;
                wp = held[0];
            }
            break;
        case WM_SETTEXT:
            SetReal(box, wnd, lp ? reinterpret_cast<const wchar_t*>(lp) : L"");
            return TRUE;
        case EM_REPLACESEL: {
            const std::wstring held = StandInsFor(box, wnd, lp ? reinterpret_cast<const wchar_t*>(lp) : L"");
            return CallOriginal(box, wnd, msg, wp, reinterpret_cast<LPARAM>(held.c_str()));
        }
        case WM_GETTEXTLENGTH:
            if (SentFromAnotherThread()) return 0;
            break;
        case WM_GETTEXT: {
            if (wp == 0 || lp == 0) return 0;
            auto* out = reinterpret_cast<wchar_t*>(lp);
            if (SentFromAnotherThread()) {
                out[0] = L'\0';
                return 0;
            }
            const std::wstring held = StandInsHeld(box, wnd);
            const std::size_t n = std::min<std::size_t>(held.size(), wp - 1);
            for (std::size_t i = 0; i < n; ++i) out[i] = RealOf(box, held[i]);
            out[n] = L'\0';
            return static_cast<LRESULT>(n);
        }
        case WM_PASTE:
            Paste(box, wnd);
            return 0;
        case WM_COPY:
        case WM_CUT:
            return 0;  // a password never leaves its box, as with any password edit
        default:
            break;
    }
    return CallOriginal(box, wnd, msg, wp, lp);
}

LRESULT CALLBACK BoxProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    Box* box = BoxOf(wnd);
    if (!box) return DefWindowProcW(wnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        const WNDPROC original = box->original;
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropW(wnd, kProp);
        delete box;
        return CallWindowProcW(original, wnd, msg, wp, lp);
    }
    try {
        return Route(*box, wnd, msg, wp, lp);
    } catch (...) {
        ReportCaught("PasswordBox", CurrentExceptionText());
        return 0;
    }
}

BOOL CALLBACK ClearBox(HWND child, LPARAM) {
    if (Box* box = BoxOf(child)) {
        try {
            SetReal(*box, child, {});
        } catch (...) {
            ReportCaught("ClearPasswordBoxes", CurrentExceptionText());
        }
    }
    return TRUE;
}

}  // namespace

void MakePasswordBox(HWND edit) {
    if (!edit || BoxOf(edit)) return;
    auto* box = new Box;
    WipedWide real;
    const int length = GetWindowTextLengthW(edit);
    if (length > 0) {
        real.text.assign(static_cast<std::size_t>(length) + 1, L'\0');
        real.text.resize(static_cast<std::size_t>(std::max(0, GetWindowTextW(edit, real.text.data(), length + 1))));
    }
    if (!SetPropW(edit, kProp, box)) {
        delete box;
        throw SystemError("Cannot make a password box", GetLastError());
    }
    box->original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BoxProc)));
    if (!real.text.empty()) SetReal(*box, edit, real.text);
}

bool IsPasswordBox(HWND wnd) { return wnd && BoxOf(wnd) != nullptr; }

std::string PasswordBoxText(HWND edit) {
    const Box* box = BoxOf(edit);
    if (!box) return {};
    WipedWide real;
    RealText(*box, edit, real);
    if (real.text.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, real.text.data(), static_cast<int>(real.text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(std::max(0, n)), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, real.text.data(), static_cast<int>(real.text.size()), out.data(), n, nullptr,
                            nullptr);
    return out;
}

void SetPasswordBoxText(HWND edit, std::string_view text) {
    Box* box = BoxOf(edit);
    if (!box) return;
    WipedWide real;
    const int n = text.empty() ? 0 : MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    real.text.assign(static_cast<std::size_t>(std::max(0, n)), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), real.text.data(), n);
    SetReal(*box, edit, real.text);
}

void ClearPasswordBoxes(HWND root) noexcept { EnumChildWindows(root, &ClearBox, 0); }

void ReleasePasswordBox(HWND wnd) noexcept {
    Box* box = BoxOf(wnd);
    if (!box) return;
    SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(box->original));
    RemovePropW(wnd, kProp);
    delete box;  // its table wiped
}

}  // namespace vexlo::ui
