#include "frame/startup.h"

#include <cstddef>
#include <initializer_list>

#include "shared/module.h"
#include "frame/com_server.h"
#include "shared/blocks.h"
#include "shared/display_modes.h"
#include "shared/security.h"
#include "shared/settings.h"
#include "shell/explorer_hooks.h"

namespace vexlo::startup {

namespace {

struct Step {
    const char* name;
    // Returns false when loading must stop; may not throw past this table.
    bool (*start)();
    void (*stop)();
};

// The order is fixed: later steps and every export rely on the earlier ones. Each module
// adds its step in its place when it is built:
//   security descriptor, RDP/RFB blocks, cipher block, profile block, display modes,
//   product folder, context and Run As blocks, COM class factories, settings (profile).
constexpr std::initializer_list<Step> kSteps = {
    {"open security descriptor", StartOpenSecurity, StopOpenSecurity},
    {"RDP and RFB blocks", StartRemoteBlocks, StopRemoteBlocks},
    {"cipher block", StartCryptBlock, StopCryptBlock},
    {"profile block", StartProfileBlock, StopProfileBlock},
    {"display modes", StartDisplayModes, StopDisplayModes},
    {"product folder", StartProductFolder, StopProductFolder},
    {"context and Run As blocks", StartContextBlocks, StopContextBlocks},
    {"COM class factories", com_server::Start, com_server::Stop},
    {"settings (profile)", LoadProfile, nullptr},
};

std::size_t g_started = 0;

}  // namespace

bool Attach() noexcept {
    g_started = 0;
    for (const Step& step : kSteps) {
        bool ok = true;
        if (step.start) {
            try {
                ok = step.start();
            } catch (...) {
                ok = false;
            }
        }
        if (!ok) {
            Detach();
            return false;
        }
        ++g_started;
    }
    module::RegisterIconRequestMessage();
    return true;
}

void Detach() noexcept {
    while (g_started > 0) {
        const Step& step = kSteps.begin()[--g_started];
        if (step.stop) {
            try {
                step.stop();
            } catch (...) {
                // A module that fails to stop must not keep the others from stopping.
            }
        }
    }
}

}  // namespace vexlo::startup
