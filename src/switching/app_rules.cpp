#include "switching/app_rules.h"

#include <algorithm>

namespace vexlo::switching {

std::vector<WindowId> RootOwnersToRecord(const std::vector<TopWindowFacts>& zOrder) {
    std::vector<WindowId> roots;
    for (const TopWindowFacts& w : zOrder) {
        if (!w.visible) continue;
        if (std::find(roots.begin(), roots.end(), w.rootOwner) == roots.end())
            roots.push_back(w.rootOwner);
    }
    return roots;
}

bool QualifiesAsApp(const AppWindowFacts& f, std::uint32_t callingProcessId) {
    return f.processListed && f.processId != 0 && f.processId != callingProcessId && f.visible &&
           !f.title.empty() && (f.exStyle & kWsExToolWindow) == 0 && !f.cloaked && !f.shellWindow;
}

}  // namespace vexlo::switching
