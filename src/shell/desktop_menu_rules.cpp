#include "shell/desktop_menu_rules.h"

#include <utility>

#include "shared/desktop_name.h"

namespace vexlo::shell {

MenuDesktop MenuDesktopOf(const TDesktopRecord& record) { return MenuDesktopOf(SummaryOf(record)); }

MenuDesktop MenuDesktopOf(const TDesktopSummary& summary) {
    return {summary.Enabled != 0, summary.Name.Str(), DesktopObjectName(summary.Id)};
}

std::vector<SwitchEntry> BuildSwitchList(const std::vector<MenuDesktop>& desktops,
                                         std::string_view currentObjectName) {
    std::vector<SwitchEntry> list;
    for (std::size_t i = 0; i < desktops.size(); ++i) {
        const MenuDesktop& d = desktops[i];
        // Unlike the Icon Manager's list, NoIconTarget does not leave a desktop out here.
        if (!d.enabled) continue;
        list.push_back({d.name, static_cast<std::int32_t>(i), d.objectName == currentObjectName});
    }
    return list;
}

std::vector<MenuEntry> DesktopMenuItems(const std::vector<SwitchEntry>& switchList,
                                           std::string_view currentObjectName) {
    MenuEntry separator;

    MenuEntry settings;
    settings.kind = MenuItemKind::Command;
    settings.id = kSettingsCommand;
    settings.text = kSettingsText;
    settings.checked = true;
    settings.menuBitmap = true;
    settings.grayed = currentObjectName != kCommandDesktop;

    MenuEntry switcher;
    switcher.kind = MenuItemKind::Submenu;
    switcher.text = kSwitchText;
    switcher.checked = true;
    switcher.menuBitmap = true;
    switcher.submenu.reserve(switchList.size());
    for (const auto& entry : switchList) {
        MenuEntry item;
        item.kind = MenuItemKind::Command;
        // The index is at most 2^31 - 1, so the identifier fits the 32-bit wID.
        item.id = kFirstSwitchCommand + static_cast<std::uint32_t>(entry.index);
        item.text = entry.name;
        item.checked = entry.current;
        item.grayed = entry.current;
        switcher.submenu.push_back(std::move(item));
    }

    std::vector<MenuEntry> items;
    items.reserve(3);
    items.push_back(std::move(separator));
    items.push_back(std::move(settings));
    items.push_back(std::move(switcher));
    return items;
}

std::optional<MenuCommand> MenuChoiceTracker::OnMenuSelect(std::uintptr_t wParam, std::uintptr_t lParam) {
    if (lParam != 0) {
        lastSelected_ = static_cast<std::uint16_t>(wParam & 0xFFFFu);
        clicked_ = false;
        return {};
    }
    if (clicked_ && lastSelected_ >= kSettingsCommand && lastSelected_ <= kLastPostedCommand) {
        return MenuCommand{kCommandMessage, lastSelected_, 0};
    }
    return {};
}

}  // namespace vexlo::shell
