#pragma once
// What ShowMessageDialog asks of the system's message box. The Win32 side
// calls MessageBoxA(nullptr, text, request.caption, request.style) and passes the answer
// through MessageDialogResult.
#include <cstdint>

namespace vexlo {

// Message box styles and answers with the numbers of windows.h (MB_*, IDOK ... IDNO),
// named so that they never meet its macros.
namespace mb {
inline constexpr std::uint32_t kOk = 0x0;                 // MB_OK
inline constexpr std::uint32_t kOkCancel = 0x1;           // MB_OKCANCEL
inline constexpr std::uint32_t kAbortRetryIgnore = 0x2;   // MB_ABORTRETRYIGNORE (never chosen)
inline constexpr std::uint32_t kYesNoCancel = 0x3;        // MB_YESNOCANCEL
inline constexpr std::uint32_t kYesNo = 0x4;              // MB_YESNO
inline constexpr std::uint32_t kRetryCancel = 0x5;        // MB_RETRYCANCEL
inline constexpr std::uint32_t kIconHand = 0x10;          // MB_ICONHAND = MB_ICONERROR
inline constexpr std::uint32_t kIconQuestion = 0x20;      // MB_ICONQUESTION
inline constexpr std::uint32_t kIconExclamation = 0x30;   // MB_ICONEXCLAMATION = MB_ICONWARNING
inline constexpr std::uint32_t kIconAsterisk = 0x40;      // MB_ICONASTERISK = MB_ICONINFORMATION
inline constexpr std::uint32_t kSetForeground = 0x10000;  // MB_SETFOREGROUND
inline constexpr std::uint32_t kTopmost = 0x40000;        // MB_TOPMOST
}  // namespace mb

// Dialog result codes: the system's answers IDOK (1) to IDNO (7), 0 for none.
namespace mr {
inline constexpr std::int32_t kNone = 0;
inline constexpr std::int32_t kOk = 1;
inline constexpr std::int32_t kCancel = 2;
inline constexpr std::int32_t kAbort = 3;
inline constexpr std::int32_t kRetry = 4;
inline constexpr std::int32_t kIgnore = 5;
inline constexpr std::int32_t kYes = 6;
inline constexpr std::int32_t kNo = 7;
}  // namespace mr

// Message kinds (one byte); any value above 4 behaves like kCustom.
enum class MessageKind : std::uint8_t {
    Warning = 0,
    Error = 1,
    Information = 2,
    Confirmation = 3,
    Custom = 4
};

// The button set: one bit per button, bit 0 first.
namespace msgbtn {
inline constexpr std::uint16_t kYes = 1u << 0;
inline constexpr std::uint16_t kNo = 1u << 1;
inline constexpr std::uint16_t kOk = 1u << 2;
inline constexpr std::uint16_t kCancel = 1u << 3;
inline constexpr std::uint16_t kAbort = 1u << 4;
inline constexpr std::uint16_t kRetry = 1u << 5;
inline constexpr std::uint16_t kIgnore = 1u << 6;
inline constexpr std::uint16_t kAll = 1u << 7;
inline constexpr std::uint16_t kNoToAll = 1u << 8;
inline constexpr std::uint16_t kYesToAll = 1u << 9;
inline constexpr std::uint16_t kHelp = 1u << 10;
}  // namespace msgbtn

struct MessageBoxRequest {
    const char* caption;  // never null: the custom kind has the empty caption
    std::uint32_t style;
};

// Caption and style for a kind (its low 8 bits) and a button set: always topmost and
// foreground, the kind's icon, and the first matching button layout of OK+Cancel, OK,
// Yes+No+Cancel, Yes+No, Retry+Cancel, else a single OK.
MessageBoxRequest MessageDialogRequest(std::uint32_t kind, std::uint32_t buttons);

// The box's answer when it is a result code 1 to 7; 0 for anything else (0 is also what
// the system answers when it could not show the box).
std::int32_t MessageDialogResult(std::int32_t answer);

}  // namespace vexlo
