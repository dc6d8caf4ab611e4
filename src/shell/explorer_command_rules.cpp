#include "shell/explorer_command_rules.h"

#include <utility>

namespace vexlo::shell {

std::uint32_t CommandFlags(const CommandNode& node) {
    switch (node.kind) {
        case CommandKind::Submenu: return kFlagHasSubcommands;
        case CommandKind::Separator: return kFlagIsSeparator;
        default: return 0;
    }
}

std::uint32_t CommandState(const CommandNode& node) {
    return (node.disabled ? kStateDisabled : kStateEnabled) | (node.checked ? kStateChecked : 0);
}

CommandNode IconManagerCommand(const IconMenu& menu) {
    CommandNode root{CommandKind::Submenu, text::kIconManager};
    root.icon = true;
    for (const IconMenuGroup& group : menu.groups) {
        CommandNode sub{CommandKind::Submenu, group.caption};
        for (const IconMenuEntry& entry : group.entries) {
            CommandNode target{CommandKind::Command, entry.text};
            target.action = entry.offset;
            sub.children.push_back(std::move(target));
        }
        root.children.push_back(std::move(sub));
    }
    root.children.emplace_back(CommandKind::Separator);
    CommandNode path{CommandKind::Command};
    path.selectedPath = true;
    path.disabled = true;
    root.children.push_back(std::move(path));
    return root;
}

namespace {
CommandNode FromMenuEntry(const MenuEntry& entry) {
    CommandNode node{entry.kind == MenuItemKind::Submenu ? CommandKind::Submenu : CommandKind::Command, entry.text};
    node.icon = entry.menuBitmap;
    // A classic item checked with the menu bitmap shows the bitmap, not a tick.
    node.checked = entry.checked && !entry.menuBitmap;
    node.disabled = entry.grayed;
    node.action = entry.id;
    for (const MenuEntry& child : entry.submenu) node.children.push_back(FromMenuEntry(child));
    return node;
}
}  // namespace

CommandNode DesktopCommand(const std::vector<MenuEntry>& items) {
    CommandNode root{CommandKind::Submenu, text::kDesktopCommands};
    root.icon = true;
    for (const MenuEntry& item : items)
        if (item.kind != MenuItemKind::Separator) root.children.push_back(FromMenuEntry(item));
    return root;
}

bool ShowsIconManager(std::size_t itemCount, bool itemHasPath, bool offered, bool hasTargets) {
    return itemCount == 1 && itemHasPath && offered && hasTargets;
}

bool ShowsDesktopCommands(bool mainProgramRuns, std::size_t itemCount, bool itemIsDesktop) {
    return mainProgramRuns && (itemCount == 0 || (itemCount == 1 && itemIsDesktop));
}

}  // namespace vexlo::shell
