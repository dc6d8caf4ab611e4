#pragma once
// The settings store: the product's registry key under HKEY_CURRENT_USER, the product
// folder under the user's application data, and the stored desktop records. The library
// only reads settings (the "LastUser" value aside); the main program writes them.
#include <cstdint>
#include <string>
#include <string_view>

#include "shared/records.h"

namespace vexlo {

// Start-up step: reads the active profile ("Profile"; "Default" without a product key;
// empty without the value or when it is not text) and publishes it in the profile block,
// then creates the folders down to the profile's (kernel32 and advapi32 only: the loader
// lock may be held). Never fails loading.
bool LoadProfile();

// The product folder (application data + "\Brindlecote\Quillmere"), found on first use:
// then the application data folder is created when missing, and the vendor, product and
// active profile's folders too (none for a profile name that would lead outside the
// product folder). Empty when the system gave no application data folder.
std::string ProductFolder();
// Shut-down step: forgets the product folder, so the next use finds it again.
void ReleaseProductFolder() noexcept;
// Product folder + "\" + the active profile read from the profile block now; empty when
// that name could lead elsewhere (separators, "..", device names ...) or the product
// folder is unknown. Every path built from the profile goes through here.
std::string ProfileFolder();
// The check ProfileFolder applies, for other names taken from the registry or a block
// (layout names, folder names) that become one part of a path. Knows the ANSI code page's
// two-byte characters.
bool IsSafeName(std::string_view name);

// Number of desktops of the active profile; -1 when it cannot be read. Never raises.
std::int32_t GetDesktopsCount() noexcept;
// Copies the deciphered record "Desktop" + index over the start of `record` (at most the
// record's size), then replaces a port of 0 by 3389. A missing key leaves the record
// untouched; a read or cipher error resets it. Never raises.
void ReadDesktop(std::int32_t index, TDesktopRecord& record) noexcept;
// Zero-fills the record and sets the defaults of a new desktop: an identifier from the
// local date and time, enabled, the current display mode, the current wallpaper, the
// remote session defaults and port 3389. Never raises.
void ResetDesktop(TDesktopRecord& record) noexcept;

// The wallpaper as the shell's active-desktop object reports it, in the ANSI code page,
// at most 255 characters; empty when the object is not available.
std::string CurrentWallpaper() noexcept;

}  // namespace vexlo
