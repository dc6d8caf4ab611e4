// The icon layout keeper: a window procedure hook on Explorer's desktop thread that saves
// the desktop icons' positions to a layout file, or moves them back, when the main program
// sends the registered "WM_GETICONS" to the desktop list view.
#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

#include "shared/blocks.h"
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
// it had to cut).
std::string ReadSection(const std::string& file, const std::string& section) {
    std::vector<char> buf(64 * 1024);
    for (;;) {
        const DWORD got = GetPrivateProfileSectionA(section.c_str(), buf.data(), static_cast<DWORD>(buf.size()),
                                                    file.c_str());
        if (got + 2 < buf.size()) return std::string(buf.data(), got + 1);
        buf.assign(buf.size() * 2, '\0');
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
        if (call->hwnd != FindDesktopListView()) return HookResult::Pass();
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
    const int count = ItemCount(listView);
    std::vector<LayoutIcon> icons(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        icons[static_cast<std::size_t>(i)].caption = ItemText(listView, i);
        POINT pt{};
        SendMessageA(listView, LVM_GETITEMPOSITION, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&pt));
        icons[static_cast<std::size_t>(i)].position = {pt.x, pt.y};
    }
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
    const SavedLayout layout = ParseLayoutSection(ReadSection(file, section));
    if (layout.entries.empty()) return;
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
