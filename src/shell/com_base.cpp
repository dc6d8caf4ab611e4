// The shell extensions' common base: the COM server's reference count, IUnknown and
// IShellExtInit with the one selected item, and the marked menu item (com_base.h).
#include "shell/com_base.h"

#include <shellapi.h>

#include <atomic>

#include "shared/error.h"
#include "shared/guard.h"
#include "shell/menu_bitmap.h"

namespace vexlo {

namespace {
std::atomic<long> g_serverReferences{0};
std::atomic<long> g_serverLocks{0};
constexpr std::size_t kMaxSelectedPath = MAX_PATH - 1;  // 260 characters and the zero
}  // namespace

bool CountDownAboveZero(std::atomic<long>& count) noexcept {
    long now = count.load();
    while (now > 0)
        if (count.compare_exchange_weak(now, now - 1)) return true;
    return false;
}

void ServerAddRef() noexcept { ++g_serverReferences; }
void ServerRelease() noexcept { CountDownAboveZero(g_serverReferences); }
void ServerLock(bool lock) noexcept {
    if (lock) ++g_serverLocks;
    else CountDownAboveZero(g_serverLocks);
}
long ServerReferences() noexcept { return g_serverReferences + g_serverLocks; }

void InsertMarkedItem(HMENU menu, UINT position, const char* text, UINT id, HMENU submenu) {
    MENUITEMINFOA item{};
    // MIIM_TYPE rather than MIIM_STRING: the older systems the Run-as item is meant for
    // know only the former.
    item.cbSize = sizeof item;
    item.fMask = MIIM_TYPE | MIIM_STATE | MIIM_ID | MIIM_CHECKMARKS | (submenu ? MIIM_SUBMENU : 0);
    item.fType = MFT_STRING;
    item.fState = MFS_CHECKED;
    item.wID = id;
    item.hSubMenu = submenu;
    item.hbmpChecked = MenuBitmap();
    item.dwTypeData = const_cast<char*>(text);
    if (!InsertMenuItemA(menu, position, TRUE, &item)) throw SystemError("Cannot add a menu item", GetLastError());
}

std::wstring CutSelectedPath(std::wstring path) {
    if (path.size() > kMaxSelectedPath) path.resize(kMaxSelectedPath);
    return path;
}

ContextMenuExtension::ContextMenuExtension() { ServerAddRef(); }
ContextMenuExtension::~ContextMenuExtension() { ServerRelease(); }

STDMETHODIMP ContextMenuExtension::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IContextMenu)) {
        *out = static_cast<IContextMenu*>(this);
    } else if (iid == __uuidof(IShellExtInit)) {
        *out = static_cast<IShellExtInit*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) ContextMenuExtension::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

STDMETHODIMP_(ULONG) ContextMenuExtension::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP ContextMenuExtension::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
    return GuardedCom("Initialize", [&]() -> HRESULT {
        if (!data) return E_INVALIDARG;
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        UniqueStgMedium medium;
        const HRESULT got = data->GetData(&format, medium.put());
        if (FAILED(got)) return got;
        selected_.clear();
        const auto drop = static_cast<HDROP>(medium.get().hGlobal);
        if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) != 1) return E_FAIL;
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        std::wstring path(length, L'\0');
        DragQueryFileW(drop, 0, path.data(), length + 1);
        selected_ = CutSelectedPath(std::move(path));
        return S_OK;
    });
}

}  // namespace vexlo
