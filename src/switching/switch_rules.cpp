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
        pendingSteps_ = 0;
        closeRequested_ = cancelRequested_ = false;
        return false;
    }
    built_ = true;
    at_ = {current >= 0 ? current : last, 0};
    for (; pendingSteps_ > 0; --pendingSteps_) Step();
    for (; pendingSteps_ < 0; ++pendingSteps_) StepBack();
    return true;
}

void SwitcherSelection::Advance() {
    if (closing_) return;
    if (!built_) {
        ++pendingSteps_;
        return;
    }
    Step();
}

void SwitcherSelection::Back() {
    if (closing_) return;
    if (!built_) {
        --pendingSteps_;
        return;
    }
    StepBack();
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

void SwitcherSelection::StepBack() {
    const int n = static_cast<int>(groups_.size());
    const int d = at_.desk;
    if (at_.app > 0) {
        at_.app -= 1;
        return;
    }
    for (int k = 1; k < n; ++k) {
        const int e = ((d - k) % n + n) % n;
        if (groups_[e].appCount > 0) {
            at_ = {e, groups_[e].appCount - 1};
            return;
        }
    }
    at_.app = groups_[d].appCount - 1;
}

void SwitcherSelection::OnItemChanged(int desk, int item) {
    if (closing_ || !built_) return;
    if (desk < 0 || desk >= static_cast<int>(groups_.size())) return;
    if (item < 0 || item >= groups_[desk].appCount) return;
    at_ = {desk, item};
}

bool SwitcherSelection::RequestClose() {
    if (closing_) return false;  // already going (a cancel, or a close before)
    closeRequested_ = true;
    if (!built_ || cancelRequested_) return false;
    closing_ = true;
    return true;
}

bool SwitcherSelection::RequestCancel() {
    if (closing_) return false;
    cancelRequested_ = true;
    if (!built_) return false;
    closing_ = cancelled_ = true;
    return true;
}

std::optional<SwitchPosition> SwitcherSelection::Current() const {
    if (!built_) return std::nullopt;
    return at_;
}

namespace {

bool IsAltKey(std::uint32_t vk) { return vk == keys::kVkMenu || vk == keys::kVkLMenu || vk == keys::kVkRMenu; }
bool IsShiftKey(std::uint32_t vk) { return vk == keys::kVkShift || vk == keys::kVkLShift || vk == keys::kVkRShift; }

}  // namespace

KeyAction AltTabKeys::OnKey(const KeyEvent& e, bool switcherPresent, KeyStateQuery isDown) {
    using namespace keys;
    maskBeforeRelease_ = false;
    if (e.vkCode == kVkMask && (e.flags & kLlkhfInjected)) return KeyAction::PassOn;
    const bool altWasDown = altDown_;
    const bool altUp = IsAltKey(e.vkCode) && (e.message == kWmKeyUp || e.message == kWmSysKeyUp);
    if (IsAltKey(e.vkCode) && !altUp && !altWasDown) swallowedWithAlt_ = false;  // a fresh press
    const KeyAction action = Decide(e, switcherPresent, isDown);
    if (altUp) {
        maskBeforeRelease_ = std::exchange(swallowedWithAlt_, false);
    } else if (action != KeyAction::PassOn && action != KeyAction::CloseAndPassOn) {
        swallowedWithAlt_ = true;  // only keys with Alt held are ever swallowed
    }
    return action;
}

KeyAction AltTabKeys::Decide(const KeyEvent& e, bool switcherPresent, KeyStateQuery isDown) {
    using namespace keys;
    const bool keyDown = e.message == kWmKeyDown || e.message == kWmSysKeyDown;
    const bool keyUp = e.message == kWmKeyUp || e.message == kWmSysKeyUp;
    if (IsAltKey(e.vkCode)) altDown_ = keyDown;
    if (IsShiftKey(e.vkCode)) shiftDown_ = keyDown;

    const bool flag = (e.flags & kLlkhfAltDown) != 0;
    const bool sysMessage = e.message == kWmSysKeyDown || e.message == kWmSysKeyUp;
    // Only the record says Alt is down: believe it once the key's real state agrees. (An
    // Alt event itself has just set the record; the hook runs before the system updates
    // the real state, so an Alt event is never checked against it.)
    if (altDown_ && !flag && !sysMessage && !IsAltKey(e.vkCode) && isDown && !isDown(kVkMenu)) altDown_ = false;
    const bool altHeld = flag || sysMessage || altDown_;

    if (e.vkCode == kVkEscape && swallowEscapeUp_ && keyUp) {
        // The key-up of the Escape that cancelled: the system saw no key-down either.
        swallowEscapeUp_ = false;
        return KeyAction::Swallow;
    }
    if (altHeld && e.vkCode == kVkTab) {
        const bool press = e.message == kWmSysKeyDown || (e.message == kWmKeyDown && !flag);
        if (!press) return KeyAction::Swallow;
        if (shiftDown_ && isDown && !isDown(kVkShift)) shiftDown_ = false;
        if (switcherPresent) return shiftDown_ ? KeyAction::Back : KeyAction::Advance;
        return shiftDown_ ? KeyAction::ShowSwitcherBackward : KeyAction::ShowSwitcher;
    }
    if (altHeld && e.vkCode == kVkEscape && switcherPresent) {
        if (!keyDown) return KeyAction::Swallow;
        swallowEscapeUp_ = true;
        return KeyAction::Cancel;
    }
    if (!altHeld && switcherPresent) return KeyAction::CloseAndPassOn;
    return KeyAction::PassOn;
}

bool IsProductDesktopName(std::string_view name) {
    if (name == "Default") return true;
    constexpr std::string_view prefix = "Vexlo_";
    if (name.substr(0, prefix.size()) != prefix) return false;
    std::string_view id = name.substr(prefix.size());
    if (!id.empty() && id.front() == '-') id.remove_prefix(1);
    if (id.empty() || id.size() > 19) return false;
    for (char c : id)
        if (c < '0' || c > '9') return false;
    return true;
}

int CentredOrigin(int screen, int size) {
    return static_cast<int>(DivRoundHalfEven(std::int64_t{screen} - size, 2));
}

}  // namespace vexlo::switching
