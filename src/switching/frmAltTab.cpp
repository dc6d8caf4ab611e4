#include "switching/frmAltTab.h"

#include <commctrl.h>

#include <memory>
#include <utility>

#include "shared/blocks.h"
#include "shared/desktop_name.h"
#include "shared/desktop_summary.h"
#include "shared/desktops.h"
#include "shared/error.h"
#include "shared/guard.h"
#include "shared/module.h"
#include "shared/records.h"
#include "shared/settings.h"
#include "switching/alttab_ids.h"
#include "switching/switch_text.h"
#include "switching/vxChart.h"

namespace vexlo::switching {

namespace {

using ui::ControlDef;
using ui::Kind;

constexpr int kGroupHeight = 150;
constexpr int kIconSize = 32;
constexpr UINT_PTR kMainTimer = 1, kUpdateTimer = 2;

// --- sb: a scroll box whose children (the desktops' groups) scroll vertically. What they
// report goes to the form, as if they were its own controls.
class ScrollBox : public ui::Window {
public:
    static constexpr const char* kClassName = "TvxScrollBox";
    static void Register() {
        ui::EnsureWindowClass({.name = kClassName, .background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                               .factory = [](HWND, const CREATESTRUCTA&) -> ui::Window* { return new ScrollBox(); }});
    }
    static ScrollBox* FromHandle(HWND wnd) {
        char cls[32] = {};
        if (!wnd || !GetClassNameA(wnd, cls, sizeof cls) || lstrcmpiA(cls, kClassName) != 0) return nullptr;
        return static_cast<ScrollBox*>(ui::Window::FromHandle(wnd));
    }

    int Position() const { return pos_; }
    void SetContentHeight(int height) {
        content_ = height;
        RECT r{};
        GetClientRect(Hwnd(), &r);
        SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, height > 0 ? height - 1 : 0,
                      static_cast<UINT>(r.bottom), pos_, 0};
        SetScrollInfo(Hwnd(), SB_VERT, &si, TRUE);
    }
    int ClientWidth() const {
        RECT r{};
        GetClientRect(Hwnd(), &r);
        return r.right;
    }
    void ScrollTo(int y) {
        RECT r{};
        GetClientRect(Hwnd(), &r);
        const int most = content_ > r.bottom ? content_ - r.bottom : 0;
        y = y < 0 ? 0 : y > most ? most : y;
        if (y == pos_) return;
        ScrollWindowEx(Hwnd(), 0, pos_ - y, nullptr, nullptr, nullptr, nullptr,
                       SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
        pos_ = y;
        SetScrollPos(Hwnd(), SB_VERT, pos_, TRUE);
    }
    // Scrolls as little as needed to show the band top..bottom (content coordinates).
    void EnsureVisible(int top, int bottom) {
        RECT r{};
        GetClientRect(Hwnd(), &r);
        if (top < pos_) ScrollTo(top);
        else if (bottom > pos_ + r.bottom) ScrollTo(bottom - r.bottom);
    }

private:
    bool OnCreate() override {
        SetWindowLongPtrA(Hwnd(), GWL_EXSTYLE, GetWindowLongPtrA(Hwnd(), GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
        return true;
    }
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        switch (msg) {
        case WM_NOTIFY:
        case WM_COMMAND:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (HWND form = GetAncestor(Hwnd(), GA_ROOT); form && form != Hwnd()) {
                result = SendMessageA(form, msg, wp, lp);
                return true;
            }
            return false;
        case WM_VSCROLL: {
            RECT r{};
            GetClientRect(Hwnd(), &r);
            SCROLLINFO si{sizeof si, SIF_TRACKPOS, 0, 0, 0, 0, 0};
            GetScrollInfo(Hwnd(), SB_VERT, &si);
            switch (LOWORD(wp)) {
            case SB_LINEUP: ScrollTo(pos_ - 16); break;
            case SB_LINEDOWN: ScrollTo(pos_ + 16); break;
            case SB_PAGEUP: ScrollTo(pos_ - r.bottom); break;
            case SB_PAGEDOWN: ScrollTo(pos_ + r.bottom); break;
            case SB_THUMBTRACK:
            case SB_THUMBPOSITION: ScrollTo(si.nTrackPos); break;
            default: break;
            }
            result = 0;
            return true;
        }
        default: return false;
        }
    }

    int pos_ = 0, content_ = 0;
};

constexpr std::uint32_t kBoldLabel = ui::kBold;
constexpr std::uint32_t kValueLabel = ui::kBold | ui::kFixedSize;
// Panel2 stands right in the bevelled panel; its controls are placed from its corner.
constexpr int kP2x = 357, kP2y = 7;

const ControlDef kControls[] = {
    {.kind = Kind::Custom, .id = id::sb, .name = "sb", .at = {7, 7, 348, 464}, .flags = ui::kHolder,
     .className = ScrollBox::kClassName},
    {.kind = Kind::Label, .id = id::lDeskCaption, .name = "Label1", .at = {kP2x + 8, kP2y + 8, 0, 0}, .text = "Desktop:", .flags = kBoldLabel},
    {.kind = Kind::Label, .id = id::lWndCaption, .name = "Label2", .at = {kP2x + 8, kP2y + 24, 0, 0}, .text = "Window:", .flags = kBoldLabel},
    {.kind = Kind::Label, .id = id::lFileCaption, .name = "Label3", .at = {kP2x + 8, kP2y + 40, 0, 0}, .text = "File name:", .flags = kBoldLabel},
    {.kind = Kind::Label, .id = id::lPIDCaption, .name = "Label4", .at = {kP2x + 8, kP2y + 56, 0, 0}, .text = "Process ID:", .flags = kBoldLabel},
    {.kind = Kind::Label, .id = id::lMemoryCaption, .name = "Label5", .at = {kP2x + 8, kP2y + 72, 0, 0}, .text = "Memory:", .flags = kBoldLabel},
    {.kind = Kind::Label, .id = id::lPriorityCaption, .name = "Label6", .at = {kP2x + 8, kP2y + 88, 0, 0}, .text = "Priority:", .flags = kBoldLabel},
    {.kind = Kind::Label, .id = id::lDesk, .name = "lDesk", .at = {kP2x + 80, kP2y + 8, 185, 13}, .text = "", .flags = kValueLabel},
    {.kind = Kind::Label, .id = id::lWnd, .name = "lWnd", .at = {kP2x + 80, kP2y + 24, 185, 13}, .text = "", .flags = kValueLabel},
    {.kind = Kind::Label, .id = id::lFile, .name = "lFile", .at = {kP2x + 80, kP2y + 40, 185, 13}, .text = "", .flags = kValueLabel},
    {.kind = Kind::Label, .id = id::lPID, .name = "lPID", .at = {kP2x + 80, kP2y + 56, 185, 13}, .text = "", .flags = kValueLabel},
    {.kind = Kind::Label, .id = id::lMemory, .name = "lMemory", .at = {kP2x + 80, kP2y + 72, 185, 13}, .text = "", .flags = kValueLabel},
    {.kind = Kind::Label, .id = id::lPriority, .name = "lPriority", .at = {kP2x + 80, kP2y + 88, 185, 13}, .text = "", .flags = kValueLabel},
    {.kind = Kind::GroupBox, .id = id::GroupBox3, .name = "GroupBox3", .at = {kP2x + 8, kP2y + 136, 265, 105}, .text = "CPU usage", .flags = kBoldLabel},
    {.kind = Kind::Custom, .id = id::cCPU, .name = "cCPU", .at = {8, 16, 251, 81}, .parent = id::GroupBox3, .className = TvxChart::kClassName},
    {.kind = Kind::GroupBox, .id = id::GroupBox2, .name = "GroupBox2", .at = {kP2x + 8, kP2y + 248, 265, 105}, .text = "Memory usage", .flags = kBoldLabel},
    {.kind = Kind::Custom, .id = id::cMemory, .name = "cMemory", .at = {8, 16, 251, 81}, .parent = id::GroupBox2, .className = TvxChart::kClassName},
    {.kind = Kind::GroupBox, .id = id::GroupBox1, .name = "GroupBox1", .at = {kP2x + 11, kP2y + 360, 265, 105}, .text = "Swap file usage", .flags = kBoldLabel},
    {.kind = Kind::Custom, .id = id::cSwap, .name = "cSwap", .at = {8, 16, 251, 81}, .parent = id::GroupBox1, .className = TvxChart::kClassName},
};

const ui::FormDef kForm{
    .className = TVexloAltTabWnd::kClassName,
    .caption = "",
    .clientWidth = 640,
    .clientHeight = 480,
    .border = ui::Border::None,
    .systemMenu = false,
    .stayOnTop = true,
    .position = ui::Position::ScreenCenter,
    .controls = kControls,
    .options = ui::kToolWindow | ui::kTopmost,
    .background = ui::SystemColour(COLOR_BTNFACE),
    .activateOnShow = false,
};

// The plain application window: the switcher's own icon, and the stand-in for windows
// that have none. Loaded once per process and shared, never destroyed.
HICON AppWindowIcon() {
    static const HICON icon = static_cast<HICON>(
        LoadImageA(module::Instance(), "APPWINDOW", IMAGE_ICON, kIconSize, kIconSize, LR_SHARED));
    return icon;
}

// All icons of one desktop as one strip, added to the image list at once: adding them one
// by one costs a round of the image list's work per icon.
UniqueImageList MakeIconStrip(const std::vector<HICON>& icons) {
    const int n = static_cast<int>(icons.size());
    UniqueImageList list(ImageList_Create(kIconSize, kIconSize, ILC_COLOR24 | ILC_MASK, n, 1));
    if (!list) throw SystemError("Cannot create an image list", GetLastError());
    if (n == 0) return list;
    WindowDc screen(nullptr);
    UniqueHdc dc(CreateCompatibleDC(screen.dc()));
    UniqueHbitmap colour(CreateCompatibleBitmap(screen.dc(), kIconSize * n, kIconSize));
    UniqueHbitmap mask(CreateBitmap(kIconSize * n, kIconSize, 1, 1, nullptr));
    if (!dc || !colour || !mask) throw SystemError("Cannot draw the icons", GetLastError());
    {
        SelectGuard sel(dc.get(), colour.get());
        PatBlt(dc.get(), 0, 0, kIconSize * n, kIconSize, BLACKNESS);
        for (int i = 0; i < n; ++i)
            DrawIconEx(dc.get(), i * kIconSize, 0, icons[i], kIconSize, kIconSize, 0, nullptr, DI_IMAGE);
    }
    {
        SelectGuard sel(dc.get(), mask.get());
        PatBlt(dc.get(), 0, 0, kIconSize * n, kIconSize, WHITENESS);
        for (int i = 0; i < n; ++i)
            DrawIconEx(dc.get(), i * kIconSize, 0, icons[i], kIconSize, kIconSize, 0, nullptr, DI_MASK);
    }
    if (ImageList_Add(list.get(), colour.get(), mask.get()) < 0) throw Error("Cannot add the icons");
    return list;
}

}  // namespace

// --- TAppThread

TAppThread::TAppThread(std::string desktopName, SharedProcessList& processes)
    : DesktopName(std::move(desktopName)), processes_(processes), apps_(static_cast<std::uint16_t>(sizeof(TAppEntry))) {
    thread_.reset(CreateThread(nullptr, 0, &TAppThread::Execute, this, CREATE_SUSPENDED, nullptr));
    if (!thread_) {
        // No thread, no windows: the desktop shows no group.
        running_ = false;
        return;
    }
    SetThreadPriority(thread_.get(), THREAD_PRIORITY_HIGHEST);
    ResumeThread(thread_.get());
}

TAppThread::~TAppThread() { Wait(); }

DWORD WINAPI TAppThread::Execute(void* param) {
    auto* self = static_cast<TAppThread*>(param);
    try {
        if (UniqueHdesk desktop = OpenDesktopByName(self->DesktopName))
            if (SetThreadDesktop(desktop.get())) ListApps(self->apps_, self->processes_);
    } catch (...) {
        self->apps_.Clear();
        ReportCaught("TAppThread", CurrentExceptionText());
    }
    self->running_ = false;
    return 0;
}

void TAppThread::Wait() {
    if (!thread_) return;
    HANDLE h = thread_.get();
    for (;;) {
        const DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) break;
        ProcessMessages(nullptr);
    }
    thread_.reset();
}

TvxList TAppThread::TakeApps() {
    Wait();
    return std::move(apps_);
}

// --- TVexloAltTabWnd

TVexloAltTabWnd::TVexloAltTabWnd(void (*gone)()) : Form(kForm), gone_(gone) {
    ScrollBox::Register();
    TvxChart::Register();
}

TVexloAltTabWnd::~TVexloAltTabWnd() = default;

const TAppEntry* TVexloAltTabWnd::CurrentApp() const {
    const auto at = selection_.Current();
    if (!at || at->desk < 0 || at->desk >= static_cast<int>(desktops_.size())) return nullptr;
    const TvxList& apps = desktops_[static_cast<std::size_t>(at->desk)].Apps;
    if (at->app < 0 || at->app >= apps.Count()) return nullptr;
    return &At<TAppEntry>(apps, at->app);
}

bool TVexloAltTabWnd::Build(int earlierAdvances, bool earlierClose) {
    for (int i = 0; i < earlierAdvances; ++i) selection_.Advance();
    if (earlierClose) selection_.RequestClose();
    if (!gathering_) StartGathering();
    Handle();
    AddGroups();
    return selection_.Built();
}

void TVexloAltTabWnd::StartGathering() {
    gathering_ = true;
    ReadDesktops();
    workers_.reserve(desktops_.size());
    for (const TDeskEntry& e : desktops_)
        workers_.push_back(std::make_unique<TAppThread>(e.ObjectName.Str(), processes_));
}

void TVexloAltTabWnd::ReadDesktops() {
    std::string input;
    if (UniqueHdesk d = OpenInputDesktopAll()) input = DesktopName(d.get());
    // Only the identifier, the name and the enabled flag are needed: the summary read
    // deciphers just those, with the pass phrase's key derived once.
    for (const TDesktopSummary& record : ReadDesktopSummaries(kMostListedDesktops, kDesktopListingSize)) {
        if (!record.Enabled) continue;
        TDeskEntry& e = desktops_.emplace_back(TDeskEntry{.DisplayName = record.Name,
                                                          .ObjectName = ShortString::From(DesktopObjectName(record.Id)),
                                                          .Apps = TvxList(static_cast<std::uint16_t>(sizeof(TAppEntry)))});
        e.IsCurrent = !input.empty() && e.ObjectName.View() == input;
    }
}

bool TVexloAltTabWnd::OnCreate() {
    SendMessageA(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(AppWindowIcon()));
    for (int chart : {id::cCPU, id::cMemory, id::cSwap})
        if (TvxChart* c = TvxChart::FromHandle(Item(chart))) c->SetGridSize(10);
    cCPU_ = TvxChart::FromHandle(Item(id::cCPU));
    cMemory_ = TvxChart::FromHandle(Item(id::cMemory));
    cSwap_ = TvxChart::FromHandle(Item(id::cSwap));
    return true;
}

void TVexloAltTabWnd::AddGroups() {
    // Each group is built as soon as its desktop is in, while the later ones are still
    // being gathered. The groups are made in their places, for a scroll range that has
    // room for every desktop; only their width changes when fewer have windows.
    ScrollBox* sb = ScrollBox::FromHandle(Item(id::sb));
    if (!sb) throw Error("The switcher has no scroll box");
    sb->SetContentHeight(static_cast<int>(desktops_.size()) * kGroupHeight);
    const int placedWidth = sb->ClientWidth();
    const ui::AliveToken alive = Token();
    std::vector<DeskGroup> groups;
    for (std::size_t i = 0; i < desktops_.size(); ++i) {
        TvxList apps = workers_[i]->TakeApps();
        // The messages dispatched meanwhile may have ended the window.
        if (!alive) throw Error("The switcher went away while it was being built");
        workers_[i].reset();
        TDeskEntry& e = desktops_[i];
        e.Apps = std::move(apps);
        e.HasApps = e.Apps.Count() > 0;
        if (e.HasApps) AddGroup(static_cast<int>(i), placedWidth);
        groups.push_back({e.Apps.Count(), e.IsCurrent});
    }
    workers_.clear();
    LayoutGroups(placedWidth);
    selection_.Build(std::move(groups));
}

void TVexloAltTabWnd::AddGroup(int entry, int width) {
    TDeskEntry& e = desktops_[static_cast<std::size_t>(entry)];
    const int top = static_cast<int>(groupsShown_.size()) * kGroupHeight;
    const std::string caption = e.DisplayName.Str();
    AddControl({.kind = Kind::GroupBox, .id = id::GroupOf(entry), .name = "GroupBox",
                .at = {0, top, width, kGroupHeight}, .text = caption.c_str(), .flags = ui::kBold, .parent = id::sb});
    HWND view = AddControl({.kind = Kind::ListView, .id = id::ViewOf(entry), .name = "View",
                            .at = {2, top + 15, width - 4, kGroupHeight - 17}, .tab = 0, .parent = id::sb});
    e.View = view;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    SendMessageA(view, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(face));
    SendMessageA(view, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(face));

    const HICON fallback = AppWindowIcon();
    std::vector<HICON> icons;
    icons.reserve(static_cast<std::size_t>(e.Apps.Count()));
    for (std::int32_t k = 0; k < e.Apps.Count(); ++k) {
        HICON icon = At<TAppEntry>(e.Apps, k).Icon;
        icons.push_back(icon ? icon : fallback);
    }
    UniqueImageList images = MakeIconStrip(icons);
    // The list destroys its image list with itself.
    SendMessageA(view, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(images.release()));

    SendMessageA(view, WM_SETREDRAW, FALSE, 0);
    for (std::int32_t k = 0; k < e.Apps.Count(); ++k) {
        TAppEntry& app = At<TAppEntry>(e.Apps, k);
        std::string title = app.Title.Str();
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = k;
        item.iImage = k;
        item.pszText = title.data();
        app.Item = SendMessageA(view, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(view, WM_SETREDRAW, TRUE, 0);
    groupsShown_.push_back(entry);
}

void TVexloAltTabWnd::LayoutGroups(int placedWidth) {
    ScrollBox* sb = ScrollBox::FromHandle(Item(id::sb));
    if (!sb) return;
    const int content = static_cast<int>(groupsShown_.size()) * kGroupHeight;
    sb->SetContentHeight(content);
    const int width = sb->ClientWidth();
    if (width == placedWidth) return;
    int top = -sb->Position();
    for (int entry : groupsShown_) {
        SetWindowPos(Item(id::GroupOf(entry)), nullptr, 0, top, width, kGroupHeight, SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(Item(id::ViewOf(entry)), nullptr, 2, top + 15, width - 4, kGroupHeight - 17,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        top += kGroupHeight;
    }
}

void TVexloAltTabWnd::Present() {
    try {
        HWND wnd = Hwnd();
        const int x = CentredOrigin(GetSystemMetrics(SM_CXSCREEN), 640);
        const int y = CentredOrigin(GetSystemMetrics(SM_CYSCREEN), 480);
        SetWindowPos(wnd, HWND_TOPMOST, x, y, 640, 480, SWP_NOACTIVATE);
        // The selection, its scrolling and its details are in place before the first paint,
        // so nothing is painted twice; only the focus needs the window shown.
        PlaceSelection();
        ShowModeless();  // from here on the window owns this object
        // The charts' first value comes a tick after the window shows: no sample delays it.
        SetTimer(wnd, kMainTimer, 100, nullptr);
        SetTimer(wnd, kUpdateTimer, 1000, nullptr);
        const ui::AliveToken alive = Token();
        // Synchronous, but a main program that hangs does not take the hook's thread along.
        if (HWND host = MainProgramWindow(); host && IsWindow(host)) {
            DWORD_PTR ignored = 0;
            SendMessageTimeoutA(host, kHostNotify, reinterpret_cast<WPARAM>(wnd), 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        }
        if (!alive) return;
        FocusSelection();
        if (selection_.CloseDue() && selection_.RequestClose()) CloseAndActivate();
    } catch (...) {
        // Never a half-made switcher on screen.
        Destroy();
        throw;
    }
}

void TVexloAltTabWnd::Select() {
    PlaceSelection();
    FocusSelection();
}

void TVexloAltTabWnd::PlaceSelection() {
    const auto at = selection_.Current();
    if (!at) return;
    if (ScrollBox* sb = ScrollBox::FromHandle(Item(id::sb))) {
        int row = 0;
        for (int entry : groupsShown_) {
            if (entry == at->desk) break;
            ++row;
        }
        sb->EnsureVisible(row * kGroupHeight, (row + 1) * kGroupHeight);
    }
    selecting_ = true;
    SetItemIndex(id::ViewOf(at->desk), at->app);
    selecting_ = false;
    ShowDetails();
}

void TVexloAltTabWnd::FocusSelection() {
    const auto at = selection_.Current();
    if (!at) return;
    const TDeskEntry& e = desktops_[static_cast<std::size_t>(at->desk)];
    selecting_ = true;
    if (e.View) SetFocus(e.View);
    selecting_ = false;
}

void TVexloAltTabWnd::ShowDetails() {
    const auto at = selection_.Current();
    const TAppEntry* app = CurrentApp();
    if (!at || !app) return;
    const DetailTexts t = MakeDetailTexts(desktops_[static_cast<std::size_t>(at->desk)].DisplayName.View(),
                                          app->Title.View(), app->FileName.View(), app->ProcessID,
                                          ProcessMemory(app->ProcessID), ProcessPriorityClass(app->ProcessID));
    SetText(id::lDesk, t.desk);
    SetText(id::lWnd, t.window);
    SetText(id::lFile, t.file);
    SetText(id::lPID, t.pid);
    SetText(id::lMemory, t.memory);
    SetText(id::lPriority, t.priority);
}

bool TVexloAltTabWnd::OnNotify(int id, const NMHDR& hdr, LRESULT&) {
    if (hdr.code != LVN_ITEMCHANGED || id < id::kFirstGroup || (id - id::kFirstGroup) % 2 != 1) return false;
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(hdr);
    if (!(change.uChanged & LVIF_STATE) || !((change.uOldState ^ change.uNewState) & LVIS_SELECTED)) return false;
    if (selecting_ || selection_.Closing() || !selection_.Built()) return false;
    selection_.OnItemChanged((id - id::kFirstGroup) / 2, change.iItem);
    ShowDetails();
    return false;
}

bool TVexloAltTabWnd::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == kAdvance) {
        // Before the build the step is counted and taken once the groups are there.
        const bool built = selection_.Built() && !selection_.Closing();
        selection_.Advance();
        if (built) Select();
        result = 1;
        return true;
    }
    if (msg == WM_CLOSE) {
        // While it is being built the window stays; it closes as soon as it is built.
        if (selection_.RequestClose()) CloseAndActivate();
        result = 0;
        return true;
    }
    return Form::HandleMessage(msg, wp, lp, result);
}

void TVexloAltTabWnd::CloseAndActivate() {
    KillTimer(Hwnd(), kMainTimer);
    KillTimer(Hwnd(), kUpdateTimer);
    const auto at = selection_.Current();
    const TAppEntry* app = CurrentApp();
    if (at && app) {
        if (UniqueHdesk desktop = OpenDesktopByName(desktops_[static_cast<std::size_t>(at->desk)].ObjectName.Str())) {
            SwitchDesktop(desktop.get());
            if (IsIconic(app->Wnd)) ShowWindow(app->Wnd, SW_RESTORE);
            BringWindowToTop(app->Wnd);
            SetForegroundWindow(app->Wnd);
        }
    }
    Destroy();
}

void TVexloAltTabWnd::OnTimer(UINT_PTR timer) {
    if (timer == kMainTimer) {
        si_.Memory.Update();
        const std::int32_t cpu = si_.SampleCpuPercent();
        if (cMemory_) cMemory_->AddValue(si_.Memory.MemoryLoad());
        if (cCPU_) cCPU_->AddValue(static_cast<std::uint8_t>(cpu));
        if (cSwap_) cSwap_->AddValue(static_cast<std::uint8_t>(si_.Memory.SwapUsage()));
    } else if (timer == kUpdateTimer) {
        for (TvxChart* c : {cMemory_, cCPU_, cSwap_})
            if (c) c->Repaint();
        if (const TAppEntry* app = CurrentApp()) SetText(id::lMemory, MemoryText(ProcessMemory(app->ProcessID)));
    }
}

bool TVexloAltTabWnd::OnPaint() {
    // Panel3's lowered bevel inside Panel1's border.
    PaintDc paint(Hwnd());
    RECT bevel{3, 3, 637, 477};
    DrawEdge(paint.dc(), &bevel, BDR_SUNKENOUTER, BF_RECT);
    return true;
}

void TVexloAltTabWnd::OnDestroy() {
    KillTimer(Hwnd(), kMainTimer);
    KillTimer(Hwnd(), kUpdateTimer);
    cCPU_ = cMemory_ = cSwap_ = nullptr;
    desktops_.clear();
    if (gone_) gone_();
}

}  // namespace vexlo::switching
