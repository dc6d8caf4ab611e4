#include "shared/message_rules.h"

namespace vexlo {

MessageBoxRequest MessageDialogRequest(std::uint32_t kind, std::uint32_t buttons) {
    MessageBoxRequest r{"", mb::kSetForeground | mb::kTopmost};
    switch (static_cast<std::uint8_t>(kind)) {
        case 0:
            r.caption = "Warning";
            r.style |= mb::kIconExclamation;
            break;
        case 1:
            r.caption = "Error";
            r.style |= mb::kIconHand;
            break;
        case 2:
            r.caption = "Information";
            r.style |= mb::kIconAsterisk;
            break;
        case 3:
            r.caption = "Confirm";
            r.style |= mb::kIconQuestion;
            break;
        default:
            break;  // custom: no caption, no icon
    }
    const auto has = [buttons](std::uint16_t set) { return (buttons & set) == set; };
    if (has(msgbtn::kOk | msgbtn::kCancel))
        r.style |= mb::kOkCancel;
    else if (has(msgbtn::kOk))
        r.style |= mb::kOk;
    else if (has(msgbtn::kYes | msgbtn::kNo | msgbtn::kCancel))
        r.style |= mb::kYesNoCancel;
    else if (has(msgbtn::kYes | msgbtn::kNo))
        r.style |= mb::kYesNo;
    else if (has(msgbtn::kRetry | msgbtn::kCancel))
        r.style |= mb::kRetryCancel;
    else
        r.style |= mb::kOk;
    return r;
}

std::int32_t MessageDialogResult(std::int32_t answer) {
    return answer >= mr::kOk && answer <= mr::kNo ? answer : mr::kNone;
}

}  // namespace vexlo
