#pragma once
// Every text that the library's commands show in Explorer: the classic menus (the
// context-menu extensions and the desktop menu hook) and Windows 11's first-level
// commands take their captions from this one table, so the two menus never disagree.
namespace vexlo::text {

// The Icon Manager, for files and folders.
inline constexpr const char* kIconManager = "Icon Manager";
inline constexpr const char* kCreateShortcutOn = "Create shortcut on";
inline constexpr const char* kCopyTo = "Copy to";
inline constexpr const char* kIconManagerHelp = "Manage Your icons on desktops";

// The Run-as extension, for program files on systems before Windows XP.
inline constexpr const char* kRunAs = "Run as...";
inline constexpr const char* kRunAsHelp = "Run this application as another user";

// The desktop's commands. Windows 11 shows them under one first-level command of
// their own, titled with the product's name.
inline constexpr const char* kSettings = "Quillmere Settings";
inline constexpr const char* kSwitchDesktop = "Switch desktop";
inline constexpr const char* kDesktopCommands = "Quillmere";
inline constexpr const char* kDesktopCommandsHelp = "Open the settings, or switch to another desktop";

}  // namespace vexlo::text
