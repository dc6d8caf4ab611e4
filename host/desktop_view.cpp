// The stand-in desktop's shell view (desktop_view.h). Its objects live on the stand-in's
// window thread and take direct calls only: Windows refuses a call marshaled out of an
// input-synchronous call (RPC_E_CANTCALLOUT_ININPUTSYNCCALL), which Wine lets through, so
// here marshaling is refused while the thread handles a message sent by another thread,
// and a call from another thread is refused always.
#include "host/desktop_view.h"

#include <commctrl.h>

#include <cstring>
#include <unordered_map>
#include <vector>

namespace vexlo::host {

namespace {

HWND g_progman = nullptr, g_defView = nullptr, g_list = nullptr;
DWORD g_thread = 0;
std::unordered_map<LPARAM, POINT> g_held;  // the view's own positions, by the item's id
std::unordered_map<LPARAM, int> g_index;   // where each id stands in the list view

bool Direct() { return GetCurrentThreadId() == g_thread; }

// The last 300 bytes of a readable page, none of them zero, before a page that cannot be read.
const char* g_unterminated = nullptr;
constexpr std::size_t kUnterminatedLength = 300;

#pragma pack(push, 1)
struct StandInItemId {
    USHORT cb;
    LPARAM id;
    USHORT end;
};
#pragma pack(pop)

PITEMID_CHILD MakeItemId(LPARAM id) {
    auto* p = static_cast<StandInItemId*>(CoTaskMemAlloc(sizeof(StandInItemId)));
    if (p) *p = {static_cast<USHORT>(sizeof(USHORT) + sizeof(LPARAM)), id, 0};
    return reinterpret_cast<PITEMID_CHILD>(p);
}

LPARAM IdOf(PCUITEMID_CHILD item) {
    StandInItemId p{};
    std::memcpy(&p, item, sizeof p);
    return p.id;
}

LPARAM IdAt(int index);

// As Explorer's view finds an item, without a walk through the list view.
int IndexOf(LPARAM id) {
    const auto it = g_index.find(id);
    if (it != g_index.end() && IdAt(it->second) == id) return it->second;
    LVFINDINFOA find{};
    find.flags = LVFI_PARAM;
    find.lParam = id;
    return static_cast<int>(SendMessageA(g_list, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

LPARAM IdAt(int index) {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    SendMessageA(g_list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.lParam;
}

int Count() { return static_cast<int>(SendMessageA(g_list, LVM_GETITEMCOUNT, 0, 0)); }

// Objects with the life of the process: reference counts are kept for form only.
template <typename... Interfaces>
class Static : public Interfaces... {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// Refuses to marshal while the thread handles a message another thread sent, as Windows
// refuses every call out of it; at other times the stand-in offers no marshaling at all.
class Marshal : public Static<IMarshal> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid != __uuidof(IUnknown) && iid != __uuidof(IMarshal)) return E_NOINTERFACE;
        *out = static_cast<IMarshal*>(this);
        return S_OK;
    }
    static HRESULT Refusal() { return InSendMessage() ? RPC_E_CANTCALLOUT_ININPUTSYNCCALL : E_FAIL; }
    HRESULT STDMETHODCALLTYPE GetUnmarshalClass(REFIID, void*, DWORD, void*, DWORD, CLSID*) override { return Refusal(); }
    HRESULT STDMETHODCALLTYPE GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD, DWORD*) override { return Refusal(); }
    HRESULT STDMETHODCALLTYPE MarshalInterface(IStream*, REFIID, void*, DWORD, void*, DWORD) override { return Refusal(); }
    HRESULT STDMETHODCALLTYPE UnmarshalInterface(IStream*, REFIID, void**) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE ReleaseMarshalData(IStream*) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE DisconnectObject(DWORD) override { return S_OK; }
};
Marshal g_marshal;

// The common QueryInterface: IMarshal goes to the refusing marshaler.
template <typename T>
HRESULT Answer(T* self, REFIID iid, void** out, bool offered) {
    *out = nullptr;
    if (!Direct()) return RPC_E_WRONG_THREAD;
    if (iid == __uuidof(IMarshal)) return g_marshal.QueryInterface(iid, out);
    if (!offered) return E_NOINTERFACE;
    *out = self;
    return S_OK;
}

class Folder : public Static<IShellFolder> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Answer(static_cast<IShellFolder*>(this), iid, out,
                      iid == __uuidof(IUnknown) || iid == __uuidof(IShellFolder));
    }
    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*, ULONG*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumObjects(HWND, SHCONTF, IEnumIDList**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID, UINT*, void**) override {
        return E_NOTIMPL;
    }
    // The normal name is the list view's caption, handed out as Explorer does: wide, in
    // memory the caller frees.
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF, STRRET* name) override {
        if (!Direct()) return RPC_E_WRONG_THREAD;
        const int index = item ? IndexOf(IdOf(item)) : -1;
        if (index < 0) return E_INVALIDARG;
        const auto from = reinterpret_cast<UINT_PTR>(item), to = reinterpret_cast<UINT_PTR>(g_unterminated);
        if (g_unterminated && sizeof(UINT_PTR) == sizeof(UINT)) {
            // The offset wraps around the 32-bit address space to the text.
            name->uType = STRRET_OFFSET;
            name->uOffset = static_cast<UINT>(to - from);
            return S_OK;
        }
        char text[260] = {};
        LVITEMA lv{};
        lv.pszText = text;
        lv.cchTextMax = sizeof text;
        SendMessageA(g_list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&lv));
        const int chars = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
        auto* wide = static_cast<wchar_t*>(CoTaskMemAlloc(sizeof(wchar_t) * static_cast<std::size_t>(chars)));
        if (!wide) return E_OUTOFMEMORY;
        MultiByteToWideChar(CP_ACP, 0, text, -1, wide, chars);
        name->uType = STRRET_WSTR;
        name->pOleStr = wide;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF, PITEMID_CHILD*) override {
        return E_NOTIMPL;
    }
};
Folder g_folder;

class View : public Static<IShellView, IFolderView> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == __uuidof(IFolderView)) return Answer(static_cast<IFolderView*>(this), iid, out, true);
        return Answer(static_cast<IShellView*>(this), iid, out,
                      iid == __uuidof(IUnknown) || iid == __uuidof(IOleWindow) || iid == __uuidof(IShellView));
    }
    // IShellView
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* wnd) override {
        if (!Direct()) return RPC_E_WRONG_THREAD;
        *wnd = g_defView;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UIActivate(UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Refresh() override { return RefreshDesktopView() ? S_OK : E_FAIL; }
    HRESULT STDMETHODCALLTYPE CreateViewWindow(IShellView*, LPCFOLDERSETTINGS, IShellBrowser*, RECT*, HWND*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DestroyViewWindow() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentInfo(LPFOLDERSETTINGS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SaveViewState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectItem(PCUITEMID_CHILD, SVSIF) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemObject(UINT, REFIID, void**) override { return E_NOTIMPL; }
    // IFolderView
    HRESULT STDMETHODCALLTYPE GetCurrentViewMode(UINT* mode) override {
        *mode = FVM_ICON;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetCurrentViewMode(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFolder(REFIID iid, void** out) override { return g_folder.QueryInterface(iid, out); }
    HRESULT STDMETHODCALLTYPE Item(int index, PITEMID_CHILD* item) override {
        *item = nullptr;
        if (!Direct()) return RPC_E_WRONG_THREAD;
        if (index < 0 || index >= Count()) return E_INVALIDARG;
        *item = MakeItemId(IdAt(index));
        return *item ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE ItemCount(UINT, int* count) override {
        if (!Direct()) return RPC_E_WRONG_THREAD;
        *count = Count();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Items(UINT, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSelectionMarkedItem(int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFocusedItem(int*) override { return E_NOTIMPL; }
    // Where the view holds the item, whatever the list view shows.
    HRESULT STDMETHODCALLTYPE GetItemPosition(PCUITEMID_CHILD item, POINT* pt) override {
        if (!Direct()) return RPC_E_WRONG_THREAD;
        const auto it = item ? g_held.find(IdOf(item)) : g_held.end();
        if (it == g_held.end()) return E_INVALIDARG;
        *pt = it->second;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSpacing(POINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDefaultSpacing(POINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAutoArrange() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SelectItem(int, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectAndPositionItems(UINT count, PCUITEMID_CHILD_ARRAY items, POINT* pts,
                                                     DWORD flags) override {
        if (!Direct()) return RPC_E_WRONG_THREAD;
        if (!(flags & SVSI_POSITIONITEM)) return S_OK;
        for (UINT i = 0; i < count; ++i) {
            const LPARAM id = IdOf(items[i]);
            const int index = IndexOf(id);
            if (index < 0) return E_INVALIDARG;
            g_held[id] = pts[i];
            SendMessageA(g_list, LVM_SETITEMPOSITION, static_cast<WPARAM>(index), MAKELPARAM(pts[i].x, pts[i].y));
        }
        return S_OK;
    }
};
View g_view;

class Browser : public Static<IShellBrowser> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Answer(static_cast<IShellBrowser*>(this), iid, out,
                      iid == __uuidof(IUnknown) || iid == __uuidof(IOleWindow) || iid == __uuidof(IShellBrowser));
    }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* wnd) override {
        if (!Direct()) return RPC_E_WRONG_THREAD;
        *wnd = g_progman;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InsertMenusSB(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenuSB(HMENU, HOLEMENU, HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveMenusSB(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusTextSB(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnableModelessSB(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAcceleratorSB(MSG*, WORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE BrowseObject(PCUIDLIST_RELATIVE, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetViewStateStream(DWORD, IStream**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetControlWindow(UINT, HWND*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SendControlMsg(UINT, UINT, WPARAM, LPARAM, LRESULT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryActiveShellView(IShellView** view) override {
        *view = nullptr;
        if (!Direct()) return RPC_E_WRONG_THREAD;
        *view = &g_view;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnViewWindowActive(IShellView*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetToolbarItems(LPTBBUTTONSB, UINT, UINT) override { return E_NOTIMPL; }
};
Browser g_browser;

}  // namespace

void CreateDesktopView(HWND progman, HWND defView, HWND list) {
    g_progman = progman;
    g_defView = defView;
    g_list = list;
    g_thread = GetCurrentThreadId();
}

IShellBrowser* DesktopBrowser() { return g_thread ? &g_browser : nullptr; }

void AddViewItem(LPARAM item, int index, POINT pt) {
    if (!g_thread) return;
    g_held[item] = pt;
    g_index[item] = index;
}

void ClearViewItems() {
    g_held.clear();
    g_index.clear();
}

bool RefreshDesktopView() {
    if (!g_thread) return false;
    for (int i = 0, count = Count(); i < count; ++i) {
        const auto it = g_held.find(IdAt(i));
        if (it != g_held.end()) SendMessageA(g_list, LVM_SETITEMPOSITION, i, MAKELPARAM(it->second.x, it->second.y));
    }
    return true;
}

void SetUnterminatedNames(bool on) {
    if (on && !g_unterminated) {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        auto* pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * info.dwPageSize, MEM_COMMIT, PAGE_READWRITE));
        if (!pages) return;
        DWORD old = 0;
        VirtualProtect(pages + info.dwPageSize, info.dwPageSize, PAGE_NOACCESS, &old);
        char* text = pages + info.dwPageSize - kUnterminatedLength;
        std::memset(text, 'N', kUnterminatedLength);
        g_unterminated = text;
        return;
    }
    if (!on) g_unterminated = nullptr;  // the pages stay: a name handed out may still point there
}

bool ViewFloor() {
    if (!g_thread) return false;
    IShellFolder* folder = nullptr;
    int count = 0;
    g_view.ItemCount(SVGIO_ALLVIEW, &count);
    g_view.GetFolder(__uuidof(IShellFolder), reinterpret_cast<void**>(&folder));
    std::vector<PITEMID_CHILD> items(static_cast<std::size_t>(count));
    std::vector<POINT> points(items.size());
    const auto readNames = [&](bool positions) {
        for (int i = 0; i < count; ++i) {
            CoTaskMemFree(items[static_cast<std::size_t>(i)]);
            g_view.Item(i, &items[static_cast<std::size_t>(i)]);
            STRRET name{};
            if (SUCCEEDED(folder->GetDisplayNameOf(items[static_cast<std::size_t>(i)], SHGDN_NORMAL, &name)))
                CoTaskMemFree(name.pOleStr);
            if (positions) g_view.GetItemPosition(items[static_cast<std::size_t>(i)], &points[static_cast<std::size_t>(i)]);
        }
    };
    readNames(true);
    readNames(false);
    g_view.SelectAndPositionItems(static_cast<UINT>(count), const_cast<PCUITEMID_CHILD_ARRAY>(items.data()),
                                  points.data(), SVSI_POSITIONITEM);
    for (PITEMID_CHILD item : items) CoTaskMemFree(item);
    return true;
}

}  // namespace vexlo::host
