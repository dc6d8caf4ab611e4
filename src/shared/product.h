#pragma once
// The product's names where the library meets the registry and the file system, written
// in one place: the key the main program writes and the folders below application data.
namespace vexlo {

inline constexpr const char* kVendorFolder = "Brindlecote";
// Below the application data folder: vendor, then product.
inline constexpr const char* kProductSubfolder = "Brindlecote\\Quillmere";
// The product key under HKEY_CURRENT_USER.
inline constexpr const char* kProductKey = "Software\\Brindlecote\\Quillmere";

}  // namespace vexlo
