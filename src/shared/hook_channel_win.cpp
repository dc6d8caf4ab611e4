#include "shared/hook_channel_win.h"

#include "shared/desktops.h"
#include "shared/hook_channel.h"

namespace vexlo::hookchannel {

std::string PipeNameHere(const UserOnlySecurity& security) {
    // Pipe names are global to the machine: the session keeps two logons of one user apart.
    DWORD session = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) session = 0;
    return PipeName(security.UserSid(), session, CurrentDesktopName());
}

}  // namespace vexlo::hookchannel
