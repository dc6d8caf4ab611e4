// The start-up sequence runner and the library's own table of steps (startup.h).
#include "shared/startup.h"

#include <windows.h>

#include "shared/blocks.h"
#include "shared/display_modes.h"
#include "shared/guard.h"
#include "shared/module.h"
#include "shared/security.h"
#include "shared/settings.h"

namespace vexlo::startup {

bool Sequence::Start() noexcept {
    started_ = 0;
    for (std::size_t i = 0; i < count_; ++i) {
        const Step& step = steps_[i];
        bool ok = true;
        DWORD code = 0;
        if (step.start) {
            try {
                ok = step.start();
                if (!ok) {
                    code = GetLastError();
                    LogFailure(__FILE__, __LINE__, step.name, "start-up step failed", code);
                }
            } catch (...) {
                code = CurrentExceptionCode();
                VEXLO_LOG_CAUGHT(step.name);
                ok = false;
            }
        }
        if (!ok) {
            Stop();
            SetLastError(code);  // the loader's caller can still see why
            return false;
        }
        ++started_;
    }
    return true;
}

void Sequence::Stop() noexcept {
    while (started_ > 0) {
        const Step& step = steps_[--started_];
        if (!step.stop) continue;
        try {
            step.stop();
        } catch (...) {
            VEXLO_LOG_CAUGHT(step.name);
        }
    }
}

namespace {

// Only what a caller can observe as soon as the library is loaded starts here: the blocks
// other processes and the main program read, the profile in its block and the folders
// down to the profile's (made with kernel32 and advapi32 alone). Display modes, the
// shell's answer for the product folder, the icon request message and the menu bitmap
// start on first use (shared/once.h says why). The order is fixed: each block after the
// security it is created with, the profile after its block.
constexpr Step kSteps[] = {
    {"open security descriptor", StartOpenSecurity, StopOpenSecurity},
    {"RDP and RFB blocks", StartRemoteBlocks, StopRemoteBlocks},
    {"cipher block", StartCryptBlock, StopCryptBlock},
    {"profile block", StartProfileBlock, StopProfileBlock},
    {"context and Run As blocks", StartContextBlocks, StopContextBlocks},
    {"active profile", LoadProfile, nullptr},
    // Made on first use; released when the library unloads.
    {"display modes", nullptr, ReleaseDisplayModes},
    {"product folder", nullptr, ReleaseProductFolder},
    {"installed hooks", nullptr, module::ReleaseState},
};

constinit Sequence g_library(kSteps);

}  // namespace

bool Attach() noexcept { return g_library.Start(); }
void Detach() noexcept { g_library.Stop(); }

}  // namespace vexlo::startup
