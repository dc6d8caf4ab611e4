#pragma once
// The COM server's two classes and every registry key and value that
// DllRegisterServer writes and DllUnregisterServer removes, as data. The Win32 side walks
// the classes in kRegistrationOrder and carries out each step:
//
//   RegWrite:  RegCreateKeyExA (creates or opens the key and any missing parent), then
//              RegSetValueExA(valueName or null for the default value, REG_SZ, data with its
//              terminating zero). The first step that fails ends the registration with
//              E_FAIL; what was written before stays.
//   RegDelete: deletes that one key only when it has no subkeys (RegQueryInfoKeyA first:
//              RegDeleteKeyA of Windows 9x would delete a whole tree); the result is
//              ignored. So "ContextMenuHandlers" and "shellex" keys that still hold other
//              handlers stay, and the "Approved" values, which no step names, are kept.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

// A GUID with the field layout of the system's GUID structure.
struct Guid {
    std::uint32_t data1;
    std::uint16_t data2, data3;
    std::uint8_t data4[8];
};
// The registry form: upper-case hexadecimal in braces, with the hyphens.
std::string GuidText(const Guid& guid);

struct ShellClass {
    const char* comClass;      // "TContextIcons"
    const char* factoryClass;  // "TContextIconsFactory"
    Guid clsid;
    std::string_view clsidText;           // GuidText(clsid), as the registry holds it
    std::string_view description;         // default value of CLSID\{...} and the "Approved" value
    std::string_view handlerName;         // key below shellex\ContextMenuHandlers
    const std::string_view* fileClasses;  // below HKEY_CLASSES_ROOT, in order
    std::size_t fileClassCount;
    std::string_view threadingModel;
    // Served to Windows 11's Explorer through the sparse package (package_manifest.h):
    // DllRegisterServer leaves such a class alone, the package declares it. Its
    // handlerName is then the verb's Id and its fileClasses the manifest's item types.
    bool packaged = false;
};

inline constexpr std::string_view kIconManagerFileClasses[] = {"*", "Directory", "Folder"};
inline constexpr std::string_view kRunAsFileClasses[] = {"exefile"};

inline constexpr ShellClass kIconManagerClass = {
    "TContextIcons",
    "TContextIconsFactory",
    {0x5603452E, 0x350E, 0x4CF8, {0x96, 0x8D, 0x03, 0xDE, 0xEE, 0x98, 0xBE, 0x04}},
    "{5603452E-350E-4CF8-968D-03DEEE98BE04}",
    "Quillmere Icon Manager",
    "Icon Manager",
    kIconManagerFileClasses,
    3,
    "Apartment"};

inline constexpr ShellClass kRunAsClass = {
    "TContextMenuRunAs",
    "TContextMenuRunAsFactory",
    {0x5DE60F2F, 0x4F06, 0x48B4, {0xA0, 0x50, 0xD9, 0x4A, 0x30, 0x59, 0x81, 0xC1}},
    "{5DE60F2F-4F06-48B4-A050-D94A305981C1}",
    "Quillmere Run as...",
    "Run as...",
    kRunAsFileClasses,
    1,
    "Apartment"};

// Windows 11's first-level commands (explorer_command.h): the Icon Manager for files and
// folders, and the desktop's commands for the background of a folder (Explorer names the
// desktop's background so too).
inline constexpr std::string_view kIconManagerItemTypes[] = {"*", "Directory"};
inline constexpr std::string_view kDesktopItemTypes[] = {"Directory\\Background"};

inline constexpr ShellClass kIconManagerCommandClass = {
    "TIconManagerCommand",
    "TIconManagerCommandFactory",
    {0x73FC55AB, 0x3485, 0x44DD, {0x89, 0x3A, 0xB7, 0xB7, 0xFC, 0x0C, 0xE2, 0xC5}},
    "{73FC55AB-3485-44DD-893A-B7B7FC0CE2C5}",
    "Quillmere Icon Manager command",
    "IconManager",
    kIconManagerItemTypes,
    2,
    "STA",
    true};

inline constexpr ShellClass kDesktopCommandClass = {
    "TDesktopCommand",
    "TDesktopCommandFactory",
    {0x3A216979, 0xF737, 0x4432, {0xAE, 0x94, 0x5C, 0x5A, 0x0A, 0x98, 0x8A, 0x10}},
    "{3A216979-F737-4432-AE94-5C5A0A988A10}",
    "Quillmere desktop commands",
    "DesktopCommands",
    kDesktopItemTypes,
    1,
    "STA",
    true};

// The factories are created Icon Manager first and listed newest first; registration,
// unregistration and DllGetClassObject walk the list from the front.
inline constexpr const ShellClass* kFactoryCreationOrder[] = {&kIconManagerClass, &kRunAsClass};
// The classes that the sparse package declares, in the manifest's order.
inline constexpr const ShellClass* kPackagedClasses[] = {&kIconManagerCommandClass, &kDesktopCommandClass};
inline constexpr const ShellClass* kRegistrationOrder[] = {&kRunAsClass, &kIconManagerClass};

enum class RegRoot { ClassesRoot, LocalMachine };

inline constexpr std::string_view kApprovedKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

struct RegWrite {
    RegRoot root;
    std::string key;
    std::string valueName;  // empty: the key's default value
    std::string data;       // REG_SZ
};
struct RegDelete {
    RegRoot root;
    std::string key;
    // A key below a file class ("*\shellex\..."). On 64-bit Windows since Windows 7 these
    // are one key for both registry views, while CLSID keys are each view's own: the DLL of
    // the other bitness may still need them.
    bool sharedHandlerKey = false;
};

// A blank in the module's path makes the server file its short (8.3) form.
bool UsesShortServerPath(std::string_view modulePath);
// The text for InprocServer32: the short form when the rule asks for it and the system
// gave one, else the module's path.
std::string ServerFileName(std::string_view modulePath, std::string_view shortPath);

// Registering one class, in order: CLSID\{id} = description; its InprocServer32 = server
// file; "ThreadingModel" = "Apartment"; for each file class "X\shellex",
// "X\shellex\ContextMenuHandlers" (both empty, even when they exist) and
// "X\shellex\ContextMenuHandlers\<handler>" = {id}; on the Windows NT family the value
// {id} = description under kApprovedKey of HKEY_LOCAL_MACHINE.
std::vector<RegWrite> RegistrationWrites(const ShellClass& cls, std::string_view serverFile,
                                         bool ntFamily);
// Unregistering one class, in order: for each file class the handler key,
// "ContextMenuHandlers" and "shellex", deepest first (the shared handler keys, which the
// Win32 side keeps while the other registry view still registers the class); then
// CLSID\{id}\InprocServer32 and CLSID\{id}. All under HKEY_CLASSES_ROOT.
std::vector<RegDelete> UnregistrationDeletes(const ShellClass& cls);

}  // namespace vexlo
