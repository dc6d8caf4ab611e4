#pragma once
// The library's own short messages to the user: the system's message box, topmost and
// in the foreground, with no owner.
#include <cstdint>
#include <string>

namespace vexlo {

// kind: MessageKind (message_rules.h), its low 8 bits; buttons: the msgbtn set; the help
// context is not used. Returns the dialog result code of the button pressed (mr::kOk ...),
// 0 when no box could be shown. Inside a hook procedure no box is shown: it answers 0.
std::int32_t ShowMessageDialog(const std::string& text, std::uint32_t kind, std::uint32_t buttons,
                               std::int32_t helpContext = 0);

}  // namespace vexlo
