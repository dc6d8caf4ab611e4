// The first-level commands of Windows 11's context menu (explorer_command.h). A root
// object builds its tree from the settings when Explorer first asks for its state, and
// hands out subcommand objects that share the tree; everything is read at once from the
// settings store and the shared blocks, nothing waits on the main program, so GetState
// answers as fast with fOkToBeSlow false as with true.
#include "shell/explorer_command.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "shared/blocks.h"
#include "shared/desktop_summary.h"
#include "shared/desktops.h"
#include "shared/guard.h"
#include "shared/handles.h"
#include "shared/module.h"
#include "shared/settings.h"
#include "shared/wide_text.h"
#include "shell/com_base.h"
#include "shell/explorer_command_rules.h"
#include "shell/registration_table.h"
#include "shell/uContextIcons.h"

namespace vexlo {

using shell::CommandKind;
using shell::CommandNode;

namespace {

enum class Root { IconManager, Desktop };

#define VEXLO_TEXT2(x) #x
#define VEXLO_TEXT(x) VEXLO_TEXT2(x)
// ",-<id>": the icon resource by its number.
constexpr const wchar_t* kIconSuffix = L",-" VEXLO_TEXT(VEXLO_ICON_ID);
#undef VEXLO_TEXT
#undef VEXLO_TEXT2

// One root's tree, shared by the root and every subcommand object handed out for it.
struct CommandTree {
    CommandNode node;
    std::wstring selected;  // the Icon Manager's item, as its classic extension keeps it
};

// Strings that Explorer frees with CoTaskMemFree.
HRESULT Give(const std::wstring& text, LPWSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (!copy) return E_OUTOFMEMORY;
    CopyMemory(copy, text.c_str(), bytes);
    *out = copy;
    return S_OK;
}

DWORD ItemCount(IShellItemArray* items) {
    DWORD count = 0;
    if (!items || FAILED(items->GetCount(&count))) return 0;
    return count;
}

// The file-system path of the array's first item; empty when it has none.
std::wstring FirstPath(IShellItemArray* items) {
    if (ItemCount(items) == 0) return {};
    ComPtr<IShellItem> item;
    if (FAILED(items->GetItemAt(0, item.put())) || !item) return {};
    LPWSTR name = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) || !name) return {};
    const UniqueCoTaskMemory owner(name);
    return name;
}

bool IsDesktopFolder(const std::wstring& path) {
    if (path.empty()) return false;
    for (const int folder : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY}) {
        wchar_t desktop[MAX_PATH] = {};
        if (SHGetSpecialFolderPathW(nullptr, desktop, folder, FALSE) && lstrcmpiW(desktop, path.c_str()) == 0)
            return true;
    }
    return false;
}

HWND RunningMainProgram() {
    const HWND main = MainProgramWindow();
    return main && IsWindow(main) ? main : nullptr;
}

// The tree for these items; nothing when the command is hidden. `gate` false builds the
// Icon Manager's tree whatever the selection (for a caller that enumerates before asking
// for the state).
std::optional<CommandTree> BuildTree(Root root, IShellItemArray* items, bool gate) {
    const DWORD count = ItemCount(items);
    if (root == Root::IconManager) {
        std::wstring path = CutSelectedPath(FirstPath(items));
        const bool offered = OffersIconManager(GetDesktopsCount(), FindWindowA(kTrayWindowClass, nullptr) != nullptr);
        const std::vector<IconTarget> targets = offered || !gate ? IconTargets() : std::vector<IconTarget>();
        if (gate && !shell::ShowsIconManager(count, !path.empty(), offered, !targets.empty())) return std::nullopt;
        CommandTree tree;
        if (const std::optional<IconMenu> menu = BuildIconMenu(targets, WideToAnsi(path)))
            tree.node = shell::IconManagerCommand(*menu);
        else
            tree.node = CommandNode(CommandKind::Submenu, text::kIconManager);
        tree.selected = std::move(path);
        return tree;
    }
    if (gate && !shell::ShowsDesktopCommands(RunningMainProgram() != nullptr, count, IsDesktopFolder(FirstPath(items))))
        return std::nullopt;
    std::vector<shell::MenuDesktop> desktops;
    for (const TDesktopSummary& summary : ReadDesktopSummaries(kMostListedDesktops, kDesktopListingSize))
        desktops.push_back(shell::MenuDesktopOf(summary));
    const std::string current = CurrentDesktopName();
    return CommandTree{shell::DesktopCommand(shell::DesktopMenuItems(shell::BuildSwitchList(desktops, current), current)),
                       {}};
}

// IUnknown for an object of one interface; every live object counts in the server's
// references, so the library stays while Explorer holds any of them.
template <typename Interface>
class ServerObject : public Interface {
public:
    ServerObject(const ServerObject&) = delete;
    ServerObject& operator=(const ServerObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

protected:
    ServerObject() { ServerAddRef(); }
    virtual ~ServerObject() { ServerRelease(); }

private:
    LONG references_ = 1;
};

class Command final : public ServerObject<IExplorerCommand> {
public:
    // A root (node null: the tree is built on first use) or a subcommand of tree.
    Command(Root root, std::shared_ptr<const CommandTree> tree, const CommandNode* node)
        : root_(root), tree_(std::move(tree)), node_(node) {}

    STDMETHODIMP GetTitle(IShellItemArray* items, LPWSTR* out) override {
        return GuardedCom("ExplorerCommand.GetTitle", [&]() -> HRESULT {
            const CommandNode& node = Node(items);
            if (node.kind == CommandKind::Separator) return Give(L"", out);
            return Give(node.selectedPath ? tree_->selected : AnsiToWide(node.title), out);
        });
    }
    // The library's own icon resource; the classic menus show their bitmap on the same items.
    STDMETHODIMP GetIcon(IShellItemArray* items, LPWSTR* out) override {
        return GuardedCom("ExplorerCommand.GetIcon", [&]() -> HRESULT {
            if (out) *out = nullptr;
            if (!Node(items).icon) return E_NOTIMPL;
            wchar_t path[MAX_PATH] = {};
            const DWORD length = GetModuleFileNameW(module::Instance(), path, MAX_PATH);
            if (length == 0 || length >= MAX_PATH) return E_FAIL;
            return Give(std::wstring(path) + kIconSuffix, out);
        });
    }
    STDMETHODIMP GetToolTip(IShellItemArray*, LPWSTR* out) override {
        return GuardedCom("ExplorerCommand.GetToolTip", [&]() -> HRESULT {
            if (out) *out = nullptr;
            if (node_) return E_NOTIMPL;  // only the first-level command has one
            return Give(AnsiToWide(root_ == Root::IconManager ? text::kIconManagerHelp : text::kDesktopCommandsHelp), out);
        });
    }
    // The root is named by its class; subcommands have no name of their own.
    STDMETHODIMP GetCanonicalName(GUID* name) override {
        if (!name) return E_POINTER;
        *name = GUID_NULL;
        if (node_) return E_NOTIMPL;
        const ShellClass& cls = root_ == Root::IconManager ? kIconManagerCommandClass : kDesktopCommandClass;
        static_assert(sizeof(Guid) == sizeof(GUID), "the registry table's GUID has the system's layout");
        CopyMemory(name, &cls.clsid, sizeof *name);
        return S_OK;
    }
    STDMETHODIMP GetState(IShellItemArray* items, BOOL, EXPCMDSTATE* state) override {
        return GuardedCom("ExplorerCommand.GetState", [&]() -> HRESULT {
            if (!state) return E_POINTER;
            *state = ECS_HIDDEN;
            if (node_) {
                *state = shell::CommandState(*node_);
                return S_OK;
            }
            // Each state asked for is the state of the selection as it is now.
            std::optional<CommandTree> tree = BuildTree(root_, items, true);
            if (!tree) return S_OK;
            tree_ = std::make_shared<const CommandTree>(std::move(*tree));
            *state = shell::CommandState(tree_->node);
            return S_OK;
        });
    }
    STDMETHODIMP GetFlags(EXPCMDFLAGS* flags) override {
        if (!flags) return E_POINTER;
        // Every first-level command opens a submenu, whatever its tree holds yet.
        *flags = node_ ? shell::CommandFlags(*node_) : static_cast<EXPCMDFLAGS>(ECF_HASSUBCOMMANDS);
        return S_OK;
    }
    STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** out) override;

    STDMETHODIMP Invoke(IShellItemArray* items, IBindCtx*) override {
        return GuardedCom("ExplorerCommand.Invoke", [&]() -> HRESULT {
            // Only a command does something, and not one the menu shows disabled.
            if (!node_ || node_->kind != CommandKind::Command) return E_NOTIMPL;
            if (node_->disabled) return E_ACCESSDENIED;
            if (root_ == Root::Desktop) {
                // As the classic menu does when it closes on the item. Explorer took the
                // click that invoked the command, so it may hand the foreground on
                // (SetForegroundWindow's rules); an elevated main program must let
                // WM_USER + 5 through its message filter, as for the classic menu.
                const HWND main = RunningMainProgram();
                if (!main) return S_OK;
                PostIfDesktop(std::string(shell::kCommandDesktop), main, shell::kCommandMessage, node_->action, 0);
                SetForegroundWindow(main);
                return S_OK;
            }
            // The item Explorer invokes the command on; the one the menu was built for
            // when it passes none.
            std::wstring path = ItemCount(items) == 1 ? CutSelectedPath(FirstPath(items)) : tree_->selected;
            if (ItemCount(items) > 1 || path.empty()) return E_INVALIDARG;
            return RunIconCommand(path, node_->action);
        });
    }

private:
    // The node the methods describe: the root's tree is built ungated when a caller
    // asks before any GetState.
    const CommandNode& Node(IShellItemArray* items) {
        if (node_) return *node_;
        if (!tree_) tree_ = std::make_shared<const CommandTree>(*BuildTree(root_, items, false));
        return tree_->node;
    }

    Root root_;
    std::shared_ptr<const CommandTree> tree_;
    const CommandNode* node_;
};

// The subcommands of one node, in order.
class CommandList final : public ServerObject<IEnumExplorerCommand> {
public:
    CommandList(Root root, std::shared_ptr<const CommandTree> tree, const CommandNode& node, std::size_t next = 0)
        : root_(root), tree_(std::move(tree)), node_(node), next_(next) {}

    // The enumerator rule: the count may be left out only when one is asked for.
    STDMETHODIMP Next(ULONG wanted, IExplorerCommand** out, ULONG* fetched) override {
        return GuardedCom("ExplorerCommand.Next", [&]() -> HRESULT {
            if (fetched) *fetched = 0;
            if (!out || (!fetched && wanted != 1)) return E_INVALIDARG;
            ULONG given = 0;
            for (; given < wanted && next_ < node_.children.size(); ++given, ++next_)
                out[given] = new Command(root_, tree_, &node_.children[next_]);
            if (fetched) *fetched = given;
            return given == wanted ? S_OK : S_FALSE;
        });
    }
    STDMETHODIMP Skip(ULONG count) override {
        const std::size_t left = node_.children.size() - next_;
        next_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        next_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumExplorerCommand** out) override {
        return GuardedCom("ExplorerCommand.Clone", [&]() -> HRESULT {
            if (!out) return E_POINTER;
            *out = new CommandList(root_, tree_, node_, next_);
            return S_OK;
        });
    }

private:
    Root root_;
    std::shared_ptr<const CommandTree> tree_;
    const CommandNode& node_;
    std::size_t next_;
};

STDMETHODIMP Command::EnumSubCommands(IEnumExplorerCommand** out) {
    return GuardedCom("ExplorerCommand.EnumSubCommands", [&]() -> HRESULT {
        if (!out) return E_POINTER;
        *out = nullptr;
        const CommandNode& node = Node(nullptr);
        if (node.kind != CommandKind::Submenu) return E_NOTIMPL;
        *out = new CommandList(root_, tree_, node);
        return S_OK;
    });
}

HRESULT Create(Root root, REFIID iid, void** out) {
    const ComPtr<Command> command(new Command(root, nullptr, nullptr));
    return command->QueryInterface(iid, out);
}

}  // namespace

HRESULT CreateIconManagerCommand(REFIID iid, void** out) { return Create(Root::IconManager, iid, out); }
HRESULT CreateDesktopCommand(REFIID iid, void** out) { return Create(Root::Desktop, iid, out); }

}  // namespace vexlo
