#pragma once
// The context-menu extensions' rules that need no Win32. The Icon
// Manager's target list and menu model, the command offsets and their way back to
// (action, desktop), GetCommandString's answer, the names and paths of the shortcuts and
// copies it makes, and the Run-as extension's version rule.
//
// Paths are handled as views of any character type: char (the ANSI code page, with an
// optional lead-byte test so that the trail byte of a two-byte character is never taken
// for a backslash) and the UTF-16 types (wchar_t on Windows, char16_t in portable tests).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shared/records.h"
#include "shared/settings_rules.h"  // LeadByteTest
#include "shell/command_text.h"

namespace vexlo {

// HRESULT values of winerror.h that the extensions answer, named apart from its macros.
namespace hr {
inline constexpr std::uint32_t kOk = 0x00000000;                 // S_OK
inline constexpr std::uint32_t kFalse = 0x00000001;              // S_FALSE
inline constexpr std::uint32_t kFail = 0x80004005;               // E_FAIL
inline constexpr std::uint32_t kInvalidArg = 0x80070057;         // E_INVALIDARG
inline constexpr std::uint32_t kNotImpl = 0x80004001;            // E_NOTIMPL
inline constexpr std::uint32_t kNoInterface = 0x80004002;        // E_NOINTERFACE
inline constexpr std::uint32_t kClassNotAvailable = 0x80040111;  // CLASS_E_CLASSNOTAVAILABLE
}  // namespace hr

// GetCommandString's types (GCS_*).
inline constexpr std::uint32_t kGcsVerbA = 0;
inline constexpr std::uint32_t kGcsHelpTextA = 1;
inline constexpr std::uint32_t kGcsValidateA = 2;
inline constexpr std::uint32_t kGcsVerbW = 4;
inline constexpr std::uint32_t kGcsHelpTextW = 5;
inline constexpr std::uint32_t kGcsValidateW = 6;

inline constexpr const char* kTrayWindowClass = "VexloTrayIconWnd";
inline constexpr const char* kMenuBitmapName = "ICON";
inline constexpr const char* kIconManagerCaption = text::kIconManager;
inline constexpr const char* kCreateShortcutCaption = text::kCreateShortcutOn;
inline constexpr const char* kCopyToCaption = text::kCopyTo;
inline constexpr const char* kIconManagerHelpText = text::kIconManagerHelp;
inline constexpr const char* kRunAsItemCaption = text::kRunAs;
inline constexpr const char* kRunAsHelpText = text::kRunAsHelp;

// ---- Verbs and GetCommandString (both extensions) ----------------------------------------

// The command offset of InvokeCommand's verb, or nothing when the verb is a text (its
// high bits, above the low 16, are not zero).
std::optional<std::uint16_t> VerbOffset(std::uintptr_t verb);

// Copies text into buffer, cut to capacity − 1 units and always zero-terminated; writes
// nothing when the buffer is null or its capacity 0. Capacity counts bytes for char and
// characters for the wide types, as GetCommandString's cchMax does. Returns the units of
// text written, the zero not counted.
template <class Ch>
std::size_t WriteZeroTerminated(std::basic_string_view<Ch> text, Ch* buffer, std::size_t capacity);

// GetCommandString of both extensions: E_INVALIDARG for any offset but 0. For offset 0: the
// help text for GCS_HELPTEXTA, and in UTF-16 for GCS_HELPTEXTW (the buffer is then one of
// wide characters), cut to the buffer size and never written past it; S_OK for the
// validation types (the item exists); E_NOTIMPL for the verb types, since the items have
// no verb (an S_OK there would leave the caller reading whatever its buffer held);
// E_INVALIDARG for any other type.
std::uint32_t AnswerCommandString(std::uintptr_t offset, std::uint32_t type,
                                  std::string_view helpText, char* buffer,
                                  std::uint32_t bufferSize);

// ---- Icon Manager targets ----------------------------------------------------------------

// A desktop that may receive items: the record is enabled and not hidden from the
// Icon Manager.
bool MayReceiveItems(const TDesktopRecord& record);

// One target: the desktop's display name and its folder, each at most 255 bytes of ANSI.
struct IconTarget {
    std::string name;
    std::string folder;
};

using NameCheck = bool (*)(std::string_view);

// Where the folders lie, as the Win32 side knows them.
struct TargetPlaces {
    // The user's Windows desktop folder (created when missing), for the record with the
    // identifier 1; asked only when such a record is listed; empty when unknown.
    std::function<std::string()> userDesktop;
    // ProfileFolder(): the product folder + "\" + the active profile; empty when unusable.
    std::string profileFolder;
    // IsSafeName (settings.h). Without one no folder name from a record is trusted.
    NameCheck isSafeName = nullptr;
};

// The folder of a desktop that may receive items, cut to 255 bytes: identifier 1 is the
// user's desktop folder, any other the profile folder + "\" + FolderName. Nothing when
// that folder is unknown, or when the folder name (after the cut) could lead outside the
// profile folder: such a desktop is left out of the list, so no item names it.
std::optional<std::string> TargetFolder(const TDesktopRecord& record, const TargetPlaces& places);

// The target list, built afresh for every menu and every command: records 0 to count − 1,
// each read by readDesktop into a zero-filled record, those that may receive items and
// have a usable folder, in index order.
using DesktopReader = std::function<void(std::int32_t index, TDesktopRecord& record)>;
std::vector<IconTarget> BuildTargetList(std::int32_t count, const DesktopReader& readDesktop,
                                        const TargetPlaces& places);

// ---- Icon Manager menu and commands -------------------------------------------------------

enum class IconAction { CreateShortcut, CopyTo };

struct IconCommand {
    IconAction action;
    std::size_t target;  // position in the target list
};

// With n targets: "Create shortcut on" uses offsets 0 to n − 1, "Copy to" n to 2n − 1, and
// within a group the last target has the smallest offset: n − 1 − p and 2n − 1 − p.
std::uint32_t IconCommandOffset(IconCommand command, std::size_t targetCount);
// The way back; nothing for an offset of 2n or more (InvokeCommand answers E_INVALIDARG).
std::optional<IconCommand> IconCommandAt(std::uint32_t offset, std::size_t targetCount);

// QueryContextMenu asks for the targets only when the settings have desktops and the main
// program's window (kTrayWindowClass) exists.
bool OffersIconManager(std::int32_t desktopCount, bool trayWindowExists);

struct IconMenuEntry {
    std::string text;
    std::uint32_t offset;  // the item's identifier is idCmdFirst + offset
};
struct IconMenuGroup {
    const char* caption;
    std::vector<IconMenuEntry> entries;  // top to bottom
};
// The "Icon Manager" item (checked, the menu bitmap as its checked-state bitmap, at
// position 0 of the context menu) and its popup, top to bottom: the two groups as
// submenus, a separator, and the selected path greyed and disabled.
struct IconMenu {
    IconMenuGroup groups[2];  // "Create shortcut on", "Copy to"
    std::string pathItem;
    std::uint32_t idsUsed;  // QueryContextMenu's code part: 2n
};
// Nothing (and 0 identifiers used) when the target list is empty.
std::optional<IconMenu> BuildIconMenu(const std::vector<IconTarget>& targets,
                                      std::string_view selectedPath);

// ---- Shortcut and copy paths --------------------------------------------------------------

// Everything after the last backslash (the whole path when it has none).
template <class Ch>
std::basic_string_view<Ch> LastComponent(std::basic_string_view<Ch> path,
                                         LeadByteTest lead = nullptr);
// Everything before the last backslash: the shortcut's working folder (empty without one).
template <class Ch>
std::basic_string_view<Ch> FolderPart(std::basic_string_view<Ch> path, LeadByteTest lead = nullptr);
// The last component without its extension (from the last full stop of that component):
// the shortcut's description. "report.final.doc" gives "report.final", "Photos" itself.
template <class Ch>
std::basic_string_view<Ch> ShortcutDescription(std::basic_string_view<Ch> path,
                                               LeadByteTest lead = nullptr);
// folder + "\" + description + ".lnk"
template <class Ch>
std::basic_string<Ch> ShortcutPath(std::basic_string_view<Ch> folder,
                                   std::basic_string_view<Ch> path, LeadByteTest lead = nullptr);
// folder + "\" + name: where a copy of path (name = its last component) or a listed entry goes.
template <class Ch>
std::basic_string<Ch> JoinPath(std::basic_string_view<Ch> folder, std::basic_string_view<Ch> name);
// The tree copy does nothing for a source ending with a backslash or a full stop (this
// ends the walk on the entries "." and "..").
template <class Ch>
bool TreeCopyStops(std::basic_string_view<Ch> source, LeadByteTest lead = nullptr);
// True when the target folder is the source folder or lies below it
// (ASCII letters compared without case). Copying such a tree into itself would walk its
// own new copy until paths grow too long; the Win32 side skips the copy then.
template <class Ch>
bool FolderInsideTree(std::basic_string_view<Ch> folder, std::basic_string_view<Ch> tree);

// ---- Run-as extension ---------------------------------------------------------------------

// Windows XP or later: the version was read and is above 5, or 5 with a minor of 1 or more.
bool IsWindowsXpOrLater(bool versionKnown, std::uint32_t major, std::uint32_t minor);
// "Run as..." is offered only on older systems (a failure to read the version counts as
// older); QueryContextMenu then uses 1 identifier, else 0.
bool OffersRunAsItem(bool versionKnown, std::uint32_t major, std::uint32_t minor);

}  // namespace vexlo
