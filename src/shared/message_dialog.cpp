#include "shared/message_dialog.h"

#include <windows.h>

#include "shared/dpi.h"
#include "shared/guard.h"
#include "shared/message_rules.h"

namespace vexlo {

std::int32_t ShowMessageDialog(const std::string& text, std::uint32_t kind, std::uint32_t buttons,
                               std::int32_t /*helpContext*/) {
    // A box would run a modal loop inside another program's message retrieval.
    if (InHookProcedure()) {
        ReportCaught("ShowMessageDialog", text.c_str());
        return mr::kNone;
    }
    const MessageBoxRequest request = MessageDialogRequest(kind, buttons);
    // Per-monitor aware like the library's other windows: crisp in a DPI-unaware program.
    const dpi::AwareScope aware;
    return MessageDialogResult(MessageBoxA(nullptr, text.c_str(), request.caption, request.style));
}

}  // namespace vexlo
