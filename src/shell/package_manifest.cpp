#include "shell/package_manifest.h"

#include <map>
#include <vector>

#include "shell/command_text.h"
#include "shell/registration_table.h"

namespace vexlo {

namespace {

// The 64-bit library: the only one a Windows 11 Explorer can load.
constexpr std::string_view kServerFile = "Vexlo64.dll";

// The class identifier as the manifest writes it: without braces.
std::string BareGuid(const ShellClass& cls) {
    const std::string_view text = cls.clsidText;
    return std::string(text.substr(1, text.size() - 2));
}

std::string Attr(std::string_view name, std::string_view value) {
    return " " + std::string(name) + "=\"" + XmlEscape(value) + "\"";
}

}  // namespace

std::string XmlEscape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string PackageVersion(std::string_view projectVersion) {
    std::string version(projectVersion);
    int parts = version.empty() ? 0 : 1;
    for (const char c : version) parts += c == '.';
    for (; parts < 4; ++parts) version += parts == 0 ? "0" : ".0";
    return version;
}

std::string PackageManifest(const PackageIdentity& id) {
    std::string x = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    x += "<Package xmlns=\"http://schemas.microsoft.com/appx/manifest/foundation/windows10\"\n"
         "  xmlns:uap=\"http://schemas.microsoft.com/appx/manifest/uap/windows10\"\n"
         "  xmlns:uap10=\"http://schemas.microsoft.com/appx/manifest/uap/windows10/10\"\n"
         "  xmlns:rescap=\"http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities\"\n"
         "  xmlns:desktop4=\"http://schemas.microsoft.com/appx/manifest/desktop/windows10/4\"\n"
         "  xmlns:desktop5=\"http://schemas.microsoft.com/appx/manifest/desktop/windows10/5\"\n"
         "  xmlns:com=\"http://schemas.microsoft.com/appx/manifest/com/windows10\"\n"
         "  IgnorableNamespaces=\"uap uap10 rescap desktop4 desktop5 com\">\n";
    x += "  <Identity" + Attr("Name", id.name) + Attr("Publisher", id.publisher) + Attr("Version", id.version) +
         Attr("ProcessorArchitecture", "neutral") + "/>\n";
    x += "  <Properties>\n"
         "    <DisplayName>" + XmlEscape(text::kDesktopCommands) + "</DisplayName>\n"
         "    <PublisherDisplayName>" + XmlEscape(id.publisher.substr(id.publisher.rfind('=') + 1)) +
         "</PublisherDisplayName>\n"
         "    <Logo>Assets\\logo50.png</Logo>\n"
         // The package holds only this manifest: its files are the product folder's.
         "    <uap10:AllowExternalContent>true</uap10:AllowExternalContent>\n"
         "  </Properties>\n"
         "  <Resources><Resource Language=\"en-us\"/></Resources>\n"
         "  <Dependencies>\n"
         "    <TargetDeviceFamily Name=\"Windows.Desktop\" MinVersion=\"10.0.22000.0\" MaxVersionTested=\"10.0.22631.0\"/>\n"
         "  </Dependencies>\n"
         "  <Capabilities>\n"
         "    <rescap:Capability Name=\"runFullTrust\"/>\n"
         "    <rescap:Capability Name=\"unvirtualizedResources\"/>\n"
         "  </Capabilities>\n"
         "  <Applications>\n";
    x += "    <Application Id=\"Quillmere\"" + Attr("Executable", id.executable) +
         " uap10:TrustLevel=\"mediumIL\" uap10:RuntimeBehavior=\"win32App\">\n";
    x += "      <uap:VisualElements AppListEntry=\"none\"" + Attr("DisplayName", text::kDesktopCommands) +
         Attr("Description", text::kDesktopCommandsHelp) +
         " BackgroundColor=\"transparent\" Square150x150Logo=\"Assets\\logo150.png\""
         " Square44x44Logo=\"Assets\\logo44.png\"/>\n";
    x += "      <Extensions>\n"
         "        <desktop4:Extension Category=\"windows.fileExplorerContextMenus\">\n"
         "          <desktop4:FileExplorerContextMenus>\n";
    // Item types in the order the classes first name them, each with its verbs.
    std::vector<std::string_view> types;
    std::map<std::string_view, std::vector<const ShellClass*>> verbs;
    for (const ShellClass* cls : kPackagedClasses)
        for (std::size_t i = 0; i < cls->fileClassCount; ++i) {
            auto& list = verbs[cls->fileClasses[i]];
            if (list.empty()) types.push_back(cls->fileClasses[i]);
            list.push_back(cls);
        }
    for (const std::string_view type : types) {
        x += "            <desktop5:ItemType" + Attr("Type", type) + ">\n";
        for (const ShellClass* cls : verbs[type])
            x += "              <desktop5:Verb" + Attr("Id", cls->handlerName) + Attr("Clsid", BareGuid(*cls)) + "/>\n";
        x += "            </desktop5:ItemType>\n";
    }
    x += "          </desktop4:FileExplorerContextMenus>\n"
         "        </desktop4:Extension>\n"
         "        <com:Extension Category=\"windows.comServer\">\n"
         "          <com:ComServer>\n"
         "            <com:SurrogateServer" + Attr("DisplayName", text::kDesktopCommands) + ">\n";
    for (const ShellClass* cls : kPackagedClasses)
        x += "              <com:Class" + Attr("Id", BareGuid(*cls)) + Attr("Path", kServerFile) +
             Attr("ThreadingModel", cls->threadingModel) + "/>\n";
    x += "            </com:SurrogateServer>\n"
         "          </com:ComServer>\n"
         "        </com:Extension>\n"
         "      </Extensions>\n"
         "    </Application>\n"
         "  </Applications>\n"
         "</Package>\n";
    return x;
}

}  // namespace vexlo
