// The icon layout keeper: a window procedure hook on Explorer's desktop thread that saves
// the desktop icons' positions to a layout file, or moves them back, when the main program
// sends the registered "WM_GETICONS" to the desktop list view.
//
// Positions go through the desktop's shell view (IFolderView) where it can be reached:
// since Windows 10 1809 Explorer keeps the desktop's icon positions itself and undoes a
// position set on the list view at its next refresh (the shell team's note of November
// 2021; IFolderView::SelectAndPositionItems is the supported way). The list-view messages
// remain for a desktop without a reachable view: systems before that, and stand-ins.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shared/blocks.h"
#include "shared/handles.h"
#include "shared/guard.h"
#include "shared/module.h"
#include "shared/settings.h"
#include "shell/explorer_hooks.h"
#include "shell/icon_layout.h"

namespace vexlo::shell {

namespace {

constexpr WPARAM kSaveRequest = 1;
constexpr WPARAM kRestoreRequest = 2;

// Every text goes through one 255-byte buffer, as the list view fills it.
std::string ItemText(HWND listView, int index) {
    char buf[kTextBuffer] = {};
    LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = buf;
    item.cchTextMax = static_cast<int>(sizeof buf);
    SendMessageA(listView, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    buf[sizeof buf - 1] = '\0';
    return buf;
}

int ItemCount(HWND listView) {
    const LRESULT n = SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0);
    return n > 0 ? static_cast<int>(n) : 0;
}

// The section as one block; grows until the section fits (the call answers size - 2 when
// it had to cut). This runs on Explorer's desktop thread and the file is anyone's to edit,
// so the buffer stops at a ceiling far above what a save writes (about 300 bytes an icon
// with the longest captions: more than 25,000 icons); a section beyond it is a failed read
// and the restore moves nothing.
constexpr std::size_t kMostSectionBytes = 8 * 1024 * 1024;

std::optional<std::string> ReadSection(const std::string& file, const std::string& section) {
    std::vector<char> buf(64 * 1024);
    for (;;) {
        const DWORD got = GetPrivateProfileSectionA(section.c_str(), buf.data(), static_cast<DWORD>(buf.size()),
                                                    file.c_str());
        if (got + 2 < buf.size()) return std::string(buf.data(), got + 1);
        if (buf.size() >= kMostSectionBytes) return std::nullopt;
        buf.assign(buf.size() * 2, '\0');
    }
}

// ---- The desktop's shell view ----

struct TaskMemFree {
    void operator()(void* p) const { CoTaskMemFree(p); }
};
using ItemId = std::unique_ptr<ITEMID_CHILD, TaskMemFree>;

// A display name as ANSI text, cut as the list view's 255-byte text buffer cuts it.
std::string NameText(STRRET& name, PCUITEMID_CHILD item) {
    std::string text;
    switch (name.uType) {
    case STRRET_WSTR: {
        const std::unique_ptr<wchar_t, TaskMemFree> wide(name.pOleStr);
        // Whole, then cut below: a buffer too small leaves its contents undefined.
        const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.get(), -1, nullptr, 0, nullptr, nullptr);
        if (bytes <= 1) return {};
        text.resize(static_cast<std::size_t>(bytes));
        WideCharToMultiByte(CP_ACP, 0, wide.get(), -1, text.data(), bytes, nullptr, nullptr);
        text.resize(static_cast<std::size_t>(bytes) - 1);
        break;
    }
    case STRRET_OFFSET: {
        // The view's text need not end within the item: at most the list view's buffer is read.
        const char* at = reinterpret_cast<const char*>(item) + name.uOffset;
        text.assign(at, strnlen(at, kTextBuffer - 1));
        break;
    }
    case STRRET_CSTR: text.assign(name.cStr, strnlen(name.cStr, sizeof name.cStr)); break;
    }
    if (text.size() > kTextBuffer - 1) text.resize(kTextBuffer - 1);
    return text;
}

// The desktop's view, reached without marshaling. The layout request is a SendMessage from
// another process, so this runs inside an input-synchronous call, where Windows fails every
// COM call that must be marshaled to another apartment (RPC_E_CANTCALLOUT_ININPUTSYNCCALL):
// the ShellWindows route crosses to another thread and is of no use here. The desktop's
// browser lives on this thread and answers CWM_GETISHELLBROWSER (WM_USER + 7) on its
// shell window ("Progman") with its IShellBrowser (no reference added); every call from there on is
// a direct call into this thread's objects. Null when any step fails.
ComPtr<IFolderView> DesktopFolderView(HWND listView) {
    constexpr UINT kGetShellBrowser = WM_USER + 7;
    const HWND progman = GetShellWindow();
    // The answer is a pointer into the answering process: ask only a window of this thread,
    // which is also what keeps the call direct.
    if (!progman || GetWindowThreadProcessId(progman, nullptr) != GetCurrentThreadId()) return {};
    auto* browser = reinterpret_cast<IShellBrowser*>(SendMessageA(progman, kGetShellBrowser, 0, 0));
    ComPtr<IShellView> view;
    if (!browser || FAILED(browser->QueryActiveShellView(view.put())) || !view) return {};
    // The view must be the one that holds this list view, wherever Explorer has put it.
    HWND viewWindow = nullptr;
    if (FAILED(view->GetWindow(&viewWindow)) || viewWindow != GetParent(listView)) return {};
    return view.As<IFolderView>(__uuidof(IFolderView));
}

// The view's items in its index order (the list view's), each with its caption.
struct ViewItems {
    std::vector<ItemId> ids;
    std::vector<std::string> captions;
};

std::optional<ViewItems> ReadViewItems(IFolderView* view) {
    int count = 0;
    ComPtr<IShellFolder> folder;
    if (FAILED(view->ItemCount(SVGIO_ALLVIEW, &count)) || count < 0 ||
        FAILED(view->GetFolder(__uuidof(IShellFolder), folder.put_void())) || !folder)
        return std::nullopt;
    ViewItems items;
    items.ids.reserve(static_cast<std::size_t>(count));
    items.captions.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        PITEMID_CHILD raw = nullptr;
        if (FAILED(view->Item(i, &raw)) || !raw) return std::nullopt;
        ItemId id(raw);
        // The normal display name is what the desktop shows under the icon.
        STRRET name{};
        if (FAILED(folder->GetDisplayNameOf(id.get(), SHGDN_NORMAL, &name))) return std::nullopt;
        items.captions.push_back(NameText(name, id.get()));
        items.ids.push_back(std::move(id));
    }
    return items;
}

std::optional<std::vector<LayoutIcon>> ViewIcons(IFolderView* view) {
    auto items = ReadViewItems(view);
    if (!items) return std::nullopt;
    std::vector<LayoutIcon> icons(items->ids.size());
    for (std::size_t i = 0; i < icons.size(); ++i) {
        POINT pt{};
        if (FAILED(view->GetItemPosition(items->ids[i].get(), &pt))) return std::nullopt;
        icons[i] = {std::move(items->captions[i]), {pt.x, pt.y}};
    }
    return icons;
}

std::vector<LayoutIcon> ListViewIcons(HWND listView) {
    const int count = ItemCount(listView);
    std::vector<LayoutIcon> icons(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        icons[static_cast<std::size_t>(i)].caption = ItemText(listView, i);
        POINT pt{};
        SendMessageA(listView, LVM_GETITEMPOSITION, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&pt));
        icons[static_cast<std::size_t>(i)].position = {pt.x, pt.y};
    }
    return icons;
}

// Every matched item in one call. Auto-arrange and align-to-grid stay as the user set
// them: where the view arranges by itself, nothing visible changes, and that is right.
bool RestoreThroughView(IFolderView* view, const SavedLayout& layout) {
    const auto items = ReadViewItems(view);
    if (!items) return false;
    const std::vector<std::optional<IconPosition>> targets = RestoredPositions(layout, items->captions);
    std::vector<PCUITEMID_CHILD> ids;
    std::vector<POINT> points;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (!targets[i]) continue;
        ids.push_back(items->ids[i].get());
        points.push_back({targets[i]->x, targets[i]->y});
    }
    if (ids.empty()) return true;
    return SUCCEEDED(view->SelectAndPositionItems(static_cast<UINT>(ids.size()), ids.data(), points.data(),
                                                  SVSI_POSITIONITEM));
}

void RestoreThroughListView(HWND listView, const SavedLayout& layout) {
    const int count = ItemCount(listView);
    std::vector<std::string> captions(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) captions[static_cast<std::size_t>(i)] = ItemText(listView, i);
    const std::vector<std::optional<IconPosition>> targets = RestoredPositions(layout, captions);
    for (int i = 0; i < count; ++i) {
        if (const auto& target = targets[static_cast<std::size_t>(i)])
            SendMessageA(listView, LVM_SETITEMPOSITION, static_cast<WPARAM>(i),
                         static_cast<LPARAM>(PackItemPosition(*target)));
    }
}

LRESULT CALLBACK IconLayoutProc(int code, WPARAM wp, LPARAM lp) {
    return GuardedHook("icon layout hook", module::StoredHooks().explorer.get(), code, wp, lp, [&] {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lp);
        const UINT request = module::IconRequestMessage();
        // Cheap tests first: the hook sees every message sent to the thread's windows.
        if (code != HC_ACTION || request == 0 || call->message != request ||
            (call->wParam != kSaveRequest && call->wParam != kRestoreRequest))
            return HookResult::Pass();
        // Looked up again at each request: Explorer moves the view at run time. The hook
        // sits on the desktop thread, which stays the same when the view moves, so an
        // installed hook keeps serving it.
        if (!IsThreadsDesktopListView(call->hwnd)) return HookResult::Pass();
        std::string section;
        const std::string file = LayoutFilePath(section);
        if (file.empty()) return HookResult::Pass();
        if (call->wParam == kSaveRequest)
            SaveIconLayout(call->hwnd, file, section);
        else
            RestoreIconLayout(call->hwnd, file, section);
        return HookResult::Pass();
    });
}

}  // namespace

std::string LayoutFilePath(std::string& sectionName) {
    // Both names come from a block that any process may write: neither may climb out of
    // the product folder (ProfileFolder checks the profile name).
    const std::string folder = ProfileFolder();
    sectionName = LayoutName().Str();
    if (folder.empty() || !IsSafeName(sectionName)) return {};
    return folder + "\\" + sectionName + ".ini";
}

void SaveIconLayout(HWND listView, const std::string& file, const std::string& section) {
    // Through the view where there is one; the list view where there is none, or where a
    // step of the view fails (nothing is half read: the icons come from one source).
    std::optional<std::vector<LayoutIcon>> fromView;
    if (const ComPtr<IFolderView> view = DesktopFolderView(listView)) fromView = ViewIcons(view.get());
    const std::vector<LayoutIcon> icons = fromView ? std::move(*fromView) : ListViewIcons(listView);
    // One erase and one section write give the file that a write per value would (see
    // icon_layout.h); only values with line breaks inside still go one at a time.
    const std::vector<IniValue> values = SaveValues(icons);
    const std::size_t whole = SectionWritablePrefix(values);
    WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, file.c_str());
    if (!WritePrivateProfileSectionA(section.c_str(), SectionBlock(values, whole).data(), file.c_str())) return;
    for (std::size_t i = whole; i < values.size(); ++i) {
        if (!WritePrivateProfileStringA(section.c_str(), values[i].key.c_str(), values[i].value.c_str(), file.c_str()))
            return;
    }
}

void RestoreIconLayout(HWND listView, const std::string& file, const std::string& section) {
    const std::optional<std::string> text = ReadSection(file, section);
    if (!text) return;
    const SavedLayout layout = ParseLayoutSection(*text);
    if (layout.entries.empty()) return;
    const ComPtr<IFolderView> view = DesktopFolderView(listView);
    if (!view || !RestoreThroughView(view.get(), layout)) RestoreThroughListView(listView, layout);
}

HHOOK InstallIconLayoutHook() {
    UniqueHook& stored = module::StoredHooks().explorer;
    if (HWND listView = FindDesktopListView()) {
        const DWORD thread = GetWindowThreadProcessId(listView, nullptr);
        // The replaced hook comes off: a second hook would carry out every request twice
        // and could never be removed.
        stored.reset(SetWindowsHookExA(WH_CALLWNDPROC, IconLayoutProc, module::Instance(), thread));
    }
    return stored.get();
}

HHOOK RemoveIconLayoutHook() {
    module::StoredHooks().explorer.reset();
    return nullptr;
}

}  // namespace vexlo::shell
