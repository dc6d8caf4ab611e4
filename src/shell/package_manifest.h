#pragma once
// The sparse package's manifest (AppxManifest.xml) that puts the library's commands
// into Windows 11's first-level context menu. It is written from the class table of
// registration_table.h, the same table that DllGetClassObject serves, so a verb can
// never name a class that the library does not serve.
#include <string>
#include <string_view>

namespace vexlo {

struct PackageIdentity {
    std::string name = "Brindlecote.Quillmere";
    // Must equal the subject of the certificate that signs the package.
    std::string publisher = "CN=Brindlecote";
    std::string version = "1.0.0.0";  // four parts
    // The main program, in the product folder (the package's external location).
    std::string executable = "Quillmere.exe";
};

// "1.2.3" gives "1.2.3.0": a package version has four parts.
std::string PackageVersion(std::string_view projectVersion);

// The manifest: identity, TargetDeviceFamily "Windows.Desktop" from 10.0.22000.0, one
// application that runs as a plain desktop program (mediumIL, win32App), a
// windows.comServer extension declaring every packaged class (Path "Vexlo64.dll": Windows
// 11's Explorer is 64-bit only), and a windows.fileExplorerContextMenus extension with
// each class's verb under each of its item types.
std::string PackageManifest(const PackageIdentity& identity);

// Text for an XML attribute or element: &, <, > and " escaped.
std::string XmlEscape(std::string_view text);

}  // namespace vexlo
