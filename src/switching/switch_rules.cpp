#include "switching/switch_rules.h"

#include <utility>

#include "switching/rounding.h"

namespace vexlo::switching {

bool SwitcherSelection::Build(std::vector<DeskGroup> groups) {
    if (built_) return true;
    groups_ = std::move(groups);
    const int n = static_cast<int>(groups_.size());
    // OnCreate walks the entries from the last to the first, so the first current entry
    // (in Desktops order) that has windows is the one that stays; Select falls back on the
    // first group created, the last entry that has windows.
    int current = -1, last = -1;
    for (int i = n - 1; i >= 0; --i) {
        if (groups_[i].appCount <= 0) continue;
        if (last < 0) last = i;
        if (groups_[i].isCurrent) current = i;
    }
    if (last < 0) {
        pendingAdvances_ = 0;
        closeRequested_ = false;
        return false;
    }
    built_ = true;
    at_ = {current >= 0 ? current : last, 0};
    for (; pendingAdvances_ > 0; --pendingAdvances_) Step();
    return true;
}

void SwitcherSelection::Advance() {
    if (closing_) return;
    if (!built_) {
        ++pendingAdvances_;
        return;
    }
    Step();
}

void SwitcherSelection::Step() {
    const int n = static_cast<int>(groups_.size());
    const int d = at_.desk;
    at_.app += 1;
    if (at_.app < groups_[d].appCount) return;
    for (int k = 1; k < n; ++k) {
        const int e = (d + k) % n;
        if (groups_[e].appCount > 0) {
            at_ = {e, 0};
            return;
        }
    }
    at_.app = 0;
}

void SwitcherSelection::OnItemChanged(int desk, int item) {
    if (closing_ || !built_) return;
    if (desk < 0 || desk >= static_cast<int>(groups_.size())) return;
    if (item < 0 || item >= groups_[desk].appCount) return;
    at_ = {desk, item};
}

bool SwitcherSelection::RequestClose() {
    closeRequested_ = true;
    if (!built_) return false;
    closing_ = true;
    return true;
}

std::optional<SwitchPosition> SwitcherSelection::Current() const {
    if (!built_) return std::nullopt;
    return at_;
}

KeyAction AltTabKeys::OnKey(const KeyEvent& e, bool switcherPresent) {
    using namespace keys;
    const bool keyDown = e.message == kWmKeyDown || e.message == kWmSysKeyDown;
    if (e.vkCode == kVkMenu || e.vkCode == kVkLMenu || e.vkCode == kVkRMenu) altDown_ = keyDown;

    const bool flag = (e.flags & kLlkhfAltDown) != 0;
    const bool sysMessage = e.message == kWmSysKeyDown || e.message == kWmSysKeyUp;
    const bool altHeld = flag || sysMessage || altDown_;

    if (altHeld && e.vkCode == kVkTab) {
        const bool press = e.message == kWmSysKeyDown || (e.message == kWmKeyDown && !flag);
        if (!press) return KeyAction::Swallow;
        return switcherPresent ? KeyAction::Advance : KeyAction::ShowSwitcher;
    }
    if (!altHeld && switcherPresent) return KeyAction::CloseAndPassOn;
    return KeyAction::PassOn;
}

int CentredOrigin(int screen, int size) {
    return static_cast<int>(DivRoundHalfEven(std::int64_t{screen} - size, 2));
}

}  // namespace vexlo::switching
