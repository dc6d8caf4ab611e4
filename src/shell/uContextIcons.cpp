#include "shell/uContextIcons.h"

#include <shlobj.h>

#include "shared/desktop_summary.h"
#include "shared/error.h"
#include "shared/guard.h"
#include "shared/handles.h"
#include "shared/message_dialog.h"
#include "shared/message_rules.h"
#include "shared/settings.h"
#include "shared/wide_text.h"
#include "shell/com_base.h"
#include "shell/context_rules.h"

namespace vexlo {

namespace {

// CLSID_ShellLink, written here rather than taken from the uuid library.
constexpr GUID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

}  // namespace

// The desktops through one open key and one derived cipher key, at most the library's
// bound of listed desktops: the count comes from the user's own registry, and this runs
// on Explorer's thread.
std::vector<IconTarget> IconTargets() {
    const std::vector<TDesktopSummary> summaries = ReadDesktopSummaries();
    TargetPlaces places;
    places.userDesktop = [] {
        char path[MAX_PATH] = {};
        return SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOPDIRECTORY, TRUE) ? std::string(path)
                                                                                   : std::string();
    };
    places.profileFolder = ProfileFolder();
    places.isSafeName = IsSafeName;
    // The summary holds every field the list looks at, as ReadDesktop gives them.
    const auto read = [&summaries](std::int32_t i, TDesktopRecord& r) {
        const TDesktopSummary& s = summaries[static_cast<std::size_t>(i)];
        r.Id = s.Id;
        r.Name = s.Name;
        r.Enabled = s.Enabled;
        r.NoIconTarget = s.NoIconTarget;
        r.FolderName = s.FolderName;
    };
    return BuildTargetList(static_cast<std::int32_t>(summaries.size()), read, places);
}

namespace {

// Each failing step stops the shortcut; what the save itself answers is not looked at.
void CreateShortcut(const std::wstring& path, const std::wstring& folder) {
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW),
                                link.put_void())))
        return;
    ComPtr<IPersistFile> file = link.As<IPersistFile>(__uuidof(IPersistFile));
    if (!file) return;
    const std::wstring_view p = path;
    if (FAILED(link->SetPath(path.c_str()))) return;
    if (FAILED(link->SetWorkingDirectory(std::wstring(FolderPart(p)).c_str()))) return;
    if (FAILED(link->SetDescription(std::wstring(ShortcutDescription(p)).c_str()))) return;
    if (FAILED(link->SetIconLocation(path.c_str(), 0))) return;
    file->Save(ShortcutPath(std::wstring_view(folder), p).c_str(), TRUE);
}

// A copied tree has bounds: a tree deeper or larger than this is no folder a user means to
// copy to another desktop, and the copy runs on Explorer's thread.
constexpr int kMostCopiedDepth = 64;
constexpr std::size_t kMostCopiedEntries = 100000;
constexpr char kCopyStoppedText[] =
    "The copy stopped: the folder is nested more than 64 levels deep or holds more than 100000 files and "
    "folders. What was copied so far stays.";

struct TreeCopy {
    std::size_t entries = 0;
    bool stopped = false;

    // Files inside a copied tree never replace their namesakes; the walk ends on "." and
    // "..". A link to a folder (a junction or a symbolic link: a reparse point) is not
    // entered: its target may be the tree itself, or lie anywhere.
    void Copy(const std::wstring& source, const std::wstring& target, int depth) {
        if (TreeCopyStops(std::wstring_view(source))) return;
        if (depth > kMostCopiedDepth) {
            stopped = true;
            return;
        }
        CreateDirectoryW(target.c_str(), nullptr);
        WIN32_FIND_DATAW entry;
        const UniqueFind find(FindFirstFileW((source + L"\\*.*").c_str(), &entry));
        if (!find) return;
        do {
            const std::wstring_view name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            if (++entries > kMostCopiedEntries) {
                stopped = true;
                return;
            }
            const std::wstring from = JoinPath(std::wstring_view(source), name);
            const std::wstring to = JoinPath(std::wstring_view(target), name);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) CopyFileW(from.c_str(), to.c_str(), TRUE);
                continue;
            }
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Copy(from, to, depth + 1);
            else CopyFileW(from.c_str(), to.c_str(), TRUE);
        } while (!stopped && FindNextFileW(find.get(), &entry));
    }
};

void CopyInto(const std::wstring& path, const std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    const std::wstring target = JoinPath(std::wstring_view(folder), LastComponent(std::wstring_view(path)));
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A tree copied into itself would walk its own growing copy.
        if (FolderInsideTree(std::wstring_view(target), std::wstring_view(path))) return;
        TreeCopy copy;
        copy.Copy(path, target, 0);
        if (copy.stopped)
            ShowMessageDialog(kCopyStoppedText, static_cast<std::uint32_t>(MessageKind::Warning), msgbtn::kOk);
    } else {
        CopyFileW(path.c_str(), target.c_str(), FALSE);
    }
}

class TContextIcons final : public ContextMenuExtension {
public:
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT, UINT idCmdFirst, UINT, UINT) override {
        return GuardedCom("TContextIcons.QueryContextMenu", [&]() -> HRESULT {
            const std::int32_t count = GetDesktopsCount();
            if (!OffersIconManager(count, FindWindowA(kTrayWindowClass, nullptr) != nullptr))
                return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
            const std::optional<IconMenu> model = BuildIconMenu(IconTargets(), WideToAnsi(selected_));
            if (!model) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);

            UniqueHmenu popup(CreatePopupMenu());
            if (!popup) throw SystemError("Cannot create a menu", GetLastError());
            for (const IconMenuGroup& group : model->groups) {
                UniqueHmenu sub(CreatePopupMenu());
                if (!sub) throw SystemError("Cannot create a menu", GetLastError());
                for (const IconMenuEntry& e : group.entries)
                    if (!AppendMenuA(sub.get(), MF_STRING, idCmdFirst + e.offset, e.text.c_str()))
                        throw SystemError("Cannot add a menu item", GetLastError());
                if (!AppendMenuA(popup.get(), MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(sub.get()),
                                 group.caption))
                    throw SystemError("Cannot add a menu item", GetLastError());
                sub.release();  // the popup owns it now
            }
            AppendMenuA(popup.get(), MF_SEPARATOR, 0, nullptr);
            // The path in UTF-16, so that any name reads as it is.
            AppendMenuW(popup.get(), MF_STRING | MF_GRAYED | MF_DISABLED, 0, selected_.c_str());

            InsertMarkedItem(menu, 0, kIconManagerCaption, 0, popup.get());
            popup.release();  // Explorer's menu owns it now
            return MAKE_HRESULT(SEVERITY_SUCCESS, 0, model->idsUsed);
        });
    }

    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override {
        return GuardedCom("TContextIcons.InvokeCommand", [&]() -> HRESULT {
            if (!info) return E_INVALIDARG;
            const auto offset = VerbOffset(reinterpret_cast<std::uintptr_t>(info->lpVerb));
            if (!offset) return E_FAIL;
            return RunIconCommand(selected_, *offset);
        });
    }

    STDMETHODIMP GetCommandString(UINT_PTR offset, UINT type, UINT*, CHAR* buffer, UINT size) override {
        return GuardedCom("TContextIcons.GetCommandString", [&] {
            return static_cast<HRESULT>(AnswerCommandString(offset, type, kIconManagerHelpText, buffer, size));
        });
    }
};

}  // namespace

HRESULT RunIconCommand(const std::wstring& selected, std::uint32_t offset) {
    // Against the settings as they are now, not as they were for the menu.
    const std::vector<IconTarget> targets = IconTargets();
    const std::optional<IconCommand> command = IconCommandAt(offset, targets.size());
    if (!command) return E_INVALIDARG;
    // Folder names in the records are in the ANSI code page.
    const std::wstring folder = AnsiToWide(targets[command->target].folder);
    if (command->action == IconAction::CreateShortcut) CreateShortcut(selected, folder);
    else CopyInto(selected, folder);
    return S_OK;  // failures of the file work are not reported
}

HRESULT CreateContextIcons(REFIID iid, void** out) { return ContextMenuExtension::Create<TContextIcons>(iid, out); }

}  // namespace vexlo
