#pragma once
// Windows 11's first-level commands as a tree built from the classic menus' own models
// (BuildIconMenu, DesktopMenuItems), so both show the same commands, with the same
// texts, in the same order. The Win32 side (explorer_command.cpp) hands the tree to
// Explorer through IExplorerCommand and IEnumExplorerCommand.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "shell/context_rules.h"
#include "shell/desktop_menu_rules.h"

namespace vexlo::shell {

// EXPCMDSTATE and EXPCMDFLAGS values of shobjidl.h, named apart from its enums.
inline constexpr std::uint32_t kStateEnabled = 0x0;
inline constexpr std::uint32_t kStateDisabled = 0x1;
inline constexpr std::uint32_t kStateHidden = 0x2;
inline constexpr std::uint32_t kStateChecked = 0x8;
inline constexpr std::uint32_t kFlagHasSubcommands = 0x1;
inline constexpr std::uint32_t kFlagIsSeparator = 0x8;

enum class CommandKind { Command, Submenu, Separator };

struct CommandNode {
    CommandKind kind = CommandKind::Command;
    std::string title;          // ANSI code page, as the classic menus insert it
    bool selectedPath = false;  // the title is the selected item's path, which the caller holds
    bool icon = false;          // the classic item shows the menu bitmap: the command the library's icon
    bool checked = false;       // a plain tick (the current desktop)
    bool disabled = false;
    // What Invoke does: the Icon Manager's command offset, or the identifier that the
    // desktop menu posts to the main program.
    std::uint32_t action = 0;
    std::vector<CommandNode> children;

    CommandNode() = default;
    CommandNode(CommandKind k, std::string t = {}) : kind(k), title(std::move(t)) {}
};

std::uint32_t CommandFlags(const CommandNode& node);
std::uint32_t CommandState(const CommandNode& node);

// The Icon Manager: "Create shortcut on" and "Copy to", each with the targets in list
// order, a separator and the selected path, disabled, as in the classic popup.
CommandNode IconManagerCommand(const IconMenu& menu);

// The desktop's commands under one first-level command, "Quillmere": its subcommands are
// the classic desktop menu's items without the leading separator ("Quillmere Settings",
// "Switch desktop" with one entry per enabled desktop, the current one checked and
// disabled). Windows 11 folds several first-level commands of one package into one
// entry of its own choosing anyway; one root of ours keeps its title and order ours.
CommandNode DesktopCommand(const std::vector<MenuEntry>& items);

// The Icon Manager is shown for exactly one item with a file-system path, when the
// classic menu would add its item (desktops and the main program's window) and some
// desktop may receive items.
bool ShowsIconManager(std::size_t itemCount, bool itemHasPath, bool offered, bool hasTargets);
// The desktop's commands are shown on the desktop's background while the main program
// runs (its window in "KeyVexloContext"): Explorer names the background of every folder
// "Directory\Background", and the classic items exist only on the desktop's thread.
// No item at all counts as the desktop.
bool ShowsDesktopCommands(bool mainProgramRuns, std::size_t itemCount, bool itemIsDesktop);

}  // namespace vexlo::shell
