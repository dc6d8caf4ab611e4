// A stand-in for Windows 11's Explorer building its first-level context menu, built in
// both bitnesses. Like Explorer it reads the package's AppxManifest.xml, takes the verbs of
// one item type, creates each verb's class from the library in a single-threaded
// apartment (DllGetClassObject, as a packaged COM server is activated), and asks each
// command what Explorer asks: GetState with fOkToBeSlow false and then true, GetTitle,
// GetIcon, GetFlags, EnumSubCommands, and Invoke on a chosen subcommand, with an
// IShellItemArray made from real files. It prints the menu it would show, one line per
// item, indented by depth: the title, then "[icon]", "[checked]", "[disabled]"; "-" for a
// separator. It is as strict as Explorer: a malformed manifest, a verb without a declared
// class, a class the library does not serve, or a string not from CoTaskMemAlloc fails.
//
//   vexlo_menu_client <manifest> <library> <item type> [--invoke a/b/c] [--no-items] [path ...]
//   vexlo_menu_client <manifest> <library> --check
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#undef _WIN32_IE
#define _WIN32_IE 0x0700
#undef WINVER
#define WINVER 0x0601
#include <windows.h>
#include <msxml2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const CLSID kDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
const IID kDomDocument2 = {0x2933BF95, 0x7B36, 0x11d2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kDomElement = {0x2933BF86, 0x7B36, 0x11d2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const wchar_t kNamespaces[] =
    L"xmlns:m='http://schemas.microsoft.com/appx/manifest/foundation/windows10' "
    L"xmlns:uap10='http://schemas.microsoft.com/appx/manifest/uap/windows10/10' "
    L"xmlns:desktop4='http://schemas.microsoft.com/appx/manifest/desktop/windows10/4' "
    L"xmlns:desktop5='http://schemas.microsoft.com/appx/manifest/desktop/windows10/5' "
    L"xmlns:com='http://schemas.microsoft.com/appx/manifest/com/windows10'";

int g_failures = 0;

void Fail(const char* what, const std::string& detail = {}) {
    std::printf("FAIL %s %s\n", what, detail.c_str());
    ++g_failures;
}

std::string Utf8(const wchar_t* text) {
    if (!text) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}
std::wstring Wide(const char* text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
    return out;
}
std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

template <typename T>
struct Ref {
    T* p = nullptr;
    Ref() = default;
    Ref(const Ref&) = delete;
    ~Ref() {
        if (p) p->Release();
    }
    T* operator->() const { return p; }
    T** put() { return &p; }
    void** put_void() { return reinterpret_cast<void**>(&p); }
};

// A string the command handed over: Explorer frees it with CoTaskMemFree, so that is
// where it must come from (IMalloc::DidAlloc says so).
std::string TakeString(HRESULT hr, LPWSTR text, const char* method) {
    if (FAILED(hr)) return {};
    if (!text) {
        Fail(method, "succeeded without a string");
        return {};
    }
    IMalloc* malloc = nullptr;
    if (SUCCEEDED(CoGetMalloc(1, &malloc)) && malloc) {
        if (malloc->DidAlloc(text) == 0) Fail(method, "returned a string not from CoTaskMemAlloc");
        malloc->Release();
    }
    std::string out = Utf8(text);
    CoTaskMemFree(text);
    return out;
}

// ---- The manifest ---------------------------------------------------------------------

struct Manifest {
    Ref<IXMLDOMDocument2> doc;

    bool Load(const char* path) {
        if (FAILED(CoCreateInstance(kDomDocument60, nullptr, CLSCTX_INPROC_SERVER, kDomDocument2, doc.put_void()))) {
            Fail("manifest", "no XML parser");
            return false;
        }
        doc->put_async(VARIANT_FALSE);
        doc->put_validateOnParse(VARIANT_FALSE);
        doc->put_resolveExternals(VARIANT_FALSE);
        VARIANT file;
        VariantInit(&file);
        file.vt = VT_BSTR;
        file.bstrVal = SysAllocString(Wide(path).c_str());
        VARIANT_BOOL ok = VARIANT_FALSE;
        const HRESULT hr = doc->load(file, &ok);
        VariantClear(&file);
        if (hr != S_OK || ok != VARIANT_TRUE) {
            Ref<IXMLDOMParseError> error;
            BSTR reason = nullptr;
            if (SUCCEEDED(doc->get_parseError(error.put())) && error.p) error->get_reason(&reason);
            Fail("manifest", "not well-formed: " + Utf8(reason));
            SysFreeString(reason);
            return false;
        }
        VARIANT ns;
        VariantInit(&ns);
        ns.vt = VT_BSTR;
        ns.bstrVal = SysAllocString(kNamespaces);
        BSTR language = SysAllocString(L"SelectionLanguage");
        BSTR namespaces = SysAllocString(L"SelectionNamespaces");
        VARIANT xpath;
        VariantInit(&xpath);
        xpath.vt = VT_BSTR;
        xpath.bstrVal = SysAllocString(L"XPath");
        doc->setProperty(language, xpath);
        doc->setProperty(namespaces, ns);
        SysFreeString(language);
        SysFreeString(namespaces);
        VariantClear(&xpath);
        VariantClear(&ns);
        std::printf("manifest: well-formed\n");
        return true;
    }

    // The values of one attribute over the nodes an XPath expression selects.
    std::vector<std::string> Select(const std::wstring& query, const wchar_t* attribute) const {
        std::vector<std::string> values;
        Ref<IXMLDOMNodeList> nodes;
        BSTR q = SysAllocString(query.c_str());
        const HRESULT hr = doc->selectNodes(q, nodes.put());
        SysFreeString(q);
        if (FAILED(hr) || !nodes.p) return values;
        long count = 0;
        nodes->get_length(&count);
        for (long i = 0; i < count; ++i) {
            Ref<IXMLDOMNode> node;
            Ref<IXMLDOMElement> element;
            if (FAILED(nodes->get_item(i, node.put())) || !node.p) continue;
            if (FAILED(node->QueryInterface(kDomElement, element.put_void())) || !element.p) continue;
            VARIANT value;
            VariantInit(&value);
            BSTR name = SysAllocString(attribute);
            if (element->getAttribute(name, &value) == S_OK && value.vt == VT_BSTR) values.push_back(Utf8(value.bstrVal));
            else values.push_back("(none)");
            SysFreeString(name);
            VariantClear(&value);
        }
        return values;
    }
};

bool ParseGuid(const std::string& text, GUID& guid) {
    const std::wstring braced = L"{" + Wide(text.c_str()) + L"}";
    return CLSIDFromString(braced.c_str(), &guid) == S_OK;
}

// ---- The library's classes -------------------------------------------------------------

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

HRESULT CreateCommand(HMODULE library, const GUID& clsid, IExplorerCommand** out) {
    *out = nullptr;
    const auto getClass = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    if (!getClass) return E_NOINTERFACE;
    Ref<IClassFactory> factory;
    const HRESULT hr = getClass(clsid, __uuidof(IClassFactory), factory.put_void());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, __uuidof(IExplorerCommand), reinterpret_cast<void**>(out));
}

// ---- The menu ---------------------------------------------------------------------------

// Resolves "path,-id" as Explorer does: the icon must load.
std::string IconMark(IExplorerCommand* command, IShellItemArray* items) {
    LPWSTR location = nullptr;
    const HRESULT hr = command->GetIcon(items, &location);
    const std::string icon = TakeString(hr, location, "GetIcon");
    if (FAILED(hr)) return {};
    const std::size_t comma = icon.rfind(',');
    if (comma == std::string::npos) {
        Fail("GetIcon", "no \",id\" in " + icon);
        return {};
    }
    const int index = std::atoi(icon.c_str() + comma + 1);
    HICON small = nullptr;
    const UINT got = ExtractIconExA(icon.substr(0, comma).c_str(), index, nullptr, &small, 1);
    if (got == 0 || got == UINT_MAX || !small) {
        Fail("GetIcon", "icon does not load: " + icon);
        return {};
    }
    DestroyIcon(small);
    return " [icon]";
}

struct Walker {
    IShellItemArray* items = nullptr;
    std::vector<std::string> invokePath;  // titles down to the command to invoke
    bool invoked = false;

    // State with fOkToBeSlow false, then (when it said E_PENDING, or to confirm) true.
    bool Visible(IExplorerCommand* command, EXPCMDSTATE& state) {
        EXPCMDSTATE quick = ECS_HIDDEN;
        const HRESULT first = command->GetState(items, FALSE, &quick);
        if (first != S_OK && first != E_PENDING) Fail("GetState(fast)", Hex(first));
        state = ECS_HIDDEN;
        const HRESULT slow = command->GetState(items, TRUE, &state);
        if (slow != S_OK) Fail("GetState(slow)", Hex(slow));
        if (first == S_OK && quick != state) Fail("GetState", "fast and slow answers differ");
        return !(state & ECS_HIDDEN);
    }

    void Walk(IExplorerCommand* command, int depth, std::size_t matched) {
        const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
        EXPCMDFLAGS flags = 0;
        if (command->GetFlags(&flags) != S_OK) Fail("GetFlags");
        if (flags & ECF_ISSEPARATOR) {
            std::printf("%s-\n", indent.c_str());
            return;
        }
        EXPCMDSTATE state = 0;
        if (!Visible(command, state)) {
            std::printf("%s(hidden)\n", indent.c_str());
            return;
        }
        LPWSTR text = nullptr;
        const HRESULT hr = command->GetTitle(items, &text);
        const std::string title = TakeString(hr, text, "GetTitle");
        if (FAILED(hr)) Fail("GetTitle", Hex(hr));
        std::printf("%s%s%s%s%s\n", indent.c_str(), title.c_str(), IconMark(command, items).c_str(),
                    state & ECS_CHECKED ? " [checked]" : "", state & ECS_DISABLED ? " [disabled]" : "");
        const bool onPath = matched < invokePath.size() && invokePath[matched] == title;
        if (onPath && matched + 1 == invokePath.size()) {
            const HRESULT result = command->Invoke(items, nullptr);
            std::printf("invoke %s: %s\n", title.c_str(), Hex(result).c_str());
            invoked = true;
        }
        if (!(flags & ECF_HASSUBCOMMANDS)) return;
        Ref<IEnumExplorerCommand> list;
        if (command->EnumSubCommands(list.put()) != S_OK || !list.p) {
            Fail("EnumSubCommands");
            return;
        }
        for (;;) {
            Ref<IExplorerCommand> sub;
            ULONG fetched = 0;
            if (list->Next(1, sub.put(), &fetched) != S_OK || fetched != 1 || !sub.p) break;
            Walk(sub.p, depth + 1, onPath ? matched + 1 : invokePath.size() + 1);
        }
    }
};

// Explorer hands the selection over as one shell item array of absolute ID lists.
IShellItemArray* MakeItems(const std::vector<std::wstring>& paths) {
    if (paths.empty()) return nullptr;
    std::vector<PIDLIST_ABSOLUTE> lists;
    for (const std::wstring& path : paths) {
        PIDLIST_ABSOLUTE pidl = nullptr;
        if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &pidl, 0, nullptr)) || !pidl) {
            Fail("item", Utf8(path.c_str()) + " has no shell item");
            continue;
        }
        lists.push_back(pidl);
    }
    IShellItemArray* items = nullptr;
    if (FAILED(SHCreateShellItemArrayFromIDLists(static_cast<UINT>(lists.size()),
                                                 const_cast<PCIDLIST_ABSOLUTE_ARRAY>(lists.data()), &items)))
        Fail("SHCreateShellItemArrayFromIDLists");
    for (PIDLIST_ABSOLUTE pidl : lists) CoTaskMemFree(pidl);
    return items;
}

std::vector<std::string> Split(const std::string& text, char at) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i)
        if (i == text.size() || text[i] == at) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    return parts;
}

// Every verb names a declared class, and the library serves every declared class.
void Check(const Manifest& manifest, HMODULE library) {
    const auto one = [&](const wchar_t* query, const wchar_t* attribute) {
        const std::vector<std::string> values = manifest.Select(query, attribute);
        return values.size() == 1 ? values[0] : std::string("(") + std::to_string(values.size()) + " found)";
    };
    std::printf("device family %s from %s\n", one(L"//m:TargetDeviceFamily", L"Name").c_str(),
                one(L"//m:TargetDeviceFamily", L"MinVersion").c_str());
    std::printf("application %s %s\n", one(L"//m:Application", L"uap10:TrustLevel").c_str(),
                one(L"//m:Application", L"uap10:RuntimeBehavior").c_str());
    const std::vector<std::string> ids = manifest.Select(L"//com:Extension[@Category='windows.comServer']//com:Class", L"Id");
    const std::vector<std::string> paths = manifest.Select(L"//com:Extension[@Category='windows.comServer']//com:Class", L"Path");
    const std::vector<std::string> models =
        manifest.Select(L"//com:Extension[@Category='windows.comServer']//com:Class", L"ThreadingModel");
    for (std::size_t i = 0; i < ids.size(); ++i) {
        GUID clsid;
        IExplorerCommand* command = nullptr;
        const HRESULT hr = ParseGuid(ids[i], clsid) ? CreateCommand(library, clsid, &command) : E_INVALIDARG;
        std::printf("class %s %s %s: %s\n", ids[i].c_str(), paths[i].c_str(), models[i].c_str(),
                    hr == S_OK ? "served" : ("not served " + Hex(hr)).c_str());
        if (command) command->Release();
    }
    const std::vector<std::string> types = manifest.Select(
        L"//desktop4:Extension[@Category='windows.fileExplorerContextMenus']//desktop5:ItemType", L"Type");
    for (const std::string& type : types) {
        const std::wstring verbs = L"//desktop5:ItemType[@Type='" + Wide(type.c_str()) + L"']/desktop5:Verb";
        const std::vector<std::string> verbIds = manifest.Select(verbs, L"Id");
        const std::vector<std::string> clsids = manifest.Select(verbs, L"Clsid");
        for (std::size_t i = 0; i < verbIds.size(); ++i) {
            bool declared = false;
            for (const std::string& id : ids) declared |= lstrcmpiA(id.c_str(), clsids[i].c_str()) == 0;
            std::printf("verb %s %s %s: %s\n", type.c_str(), verbIds[i].c_str(), clsids[i].c_str(),
                        declared ? "declared" : "not declared");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: vexlo_menu_client <manifest> <library> <item type>|--check [--invoke a/b] [path ...]\n");
        return 2;
    }
    // Explorer's menu runs in a single-threaded apartment, as the classes declare (STA).
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
    int code = 0;
    {
        Manifest manifest;
        if (!manifest.Load(argv[1])) return 1;
        const HMODULE library = LoadLibraryA(argv[2]);
        if (!library) {
            Fail("library", argv[2]);
            return 1;
        }
        if (std::strcmp(argv[3], "--check") == 0) {
            Check(manifest, library);
        } else {
            Walker walker;
            std::vector<std::wstring> paths;
            for (int i = 4; i < argc; ++i) {
                if (std::strcmp(argv[i], "--invoke") == 0 && i + 1 < argc) walker.invokePath = Split(argv[++i], '/');
                else paths.push_back(Wide(argv[i]));
            }
            walker.items = MakeItems(paths);
            const std::wstring query = L"//desktop5:ItemType[@Type='" + Wide(argv[3]) + L"']/desktop5:Verb";
            const std::vector<std::string> clsids = manifest.Select(query, L"Clsid");
            if (clsids.empty()) Fail("verbs", std::string("none for ") + argv[3]);
            for (const std::string& text : clsids) {
                GUID clsid;
                IExplorerCommand* command = nullptr;
                const HRESULT hr = ParseGuid(text, clsid) ? CreateCommand(library, clsid, &command) : E_INVALIDARG;
                if (hr != S_OK || !command) {
                    Fail("create", text + " " + Hex(hr));
                    continue;
                }
                walker.Walk(command, 0, 0);
                command->Release();
            }
            if (!walker.invokePath.empty() && !walker.invoked) Fail("invoke", "no such command");
            if (walker.items) walker.items->Release();
        }
        code = g_failures ? 1 : 0;
        // Explorer lets the library go when it may.
        using CanUnloadFn = HRESULT(WINAPI*)();
        const auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
        std::printf("unload: %s\n", canUnload && canUnload() == S_OK ? "allowed" : "refused");
    }
    std::fflush(stdout);
    CoUninitialize();
    return code;
}
