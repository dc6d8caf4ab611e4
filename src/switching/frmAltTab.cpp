#include "switching/frmAltTab.h"

#include <commctrl.h>
#include <oleacc.h>

#include <atomic>
#include <memory>
#include <string_view>
#include <utility>

#include "shared/blocks.h"
#include "shared/desktop_name.h"
#include "shared/desktop_summary.h"
#include "shared/desktops.h"
#include "shared/dpi.h"
#include "shared/error.h"
#include "shared/guard.h"
#include "shared/module.h"
#include "shared/records.h"
#include "shared/settings.h"
#include "shared/system_function.h"
#include "switching/alttab_ids.h"
#include "switching/switch_text.h"
#include "switching/vxChart.h"
#include "ui/accessible.h"
#include "ui/high_contrast.h"

namespace vexlo::switching {

namespace {

using ui::ControlDef;
using ui::Kind;

// Lengths at 96 DPI, as in the control table; the icons are at the system's icon size.
constexpr int kGroupHeight = 150, kChartGrid = 10, kScrollLine = 16;
constexpr UINT_PTR kMainTimer = 1, kUpdateTimer = 2;

// Flat scroll bars (comctl32 4.71 and later), looked up at run time: a system without
// them shows the plain ones. The FlatSB_ calls fall back to the plain scroll bar of a
// window that was never initialised for flat ones.
struct FlatScrollBars {
    BOOL(WINAPI* initialize)(HWND) = nullptr;
    BOOL(WINAPI* setProp)(HWND, UINT, INT_PTR, BOOL) = nullptr;
    int(WINAPI* setInfo)(HWND, int, LPSCROLLINFO, BOOL) = nullptr;
    BOOL(WINAPI* getInfo)(HWND, int, LPSCROLLINFO) = nullptr;
    int(WINAPI* setPos)(HWND, int, int, BOOL) = nullptr;
};

const FlatScrollBars& FlatScroll() {
    static const FlatScrollBars f = [] {
        FlatScrollBars r;
        const HMODULE cc = GetModuleHandleA("comctl32.dll");
        r.initialize = SystemFunction<decltype(r.initialize)>(cc, "InitializeFlatSB");
        r.setProp = SystemFunction<decltype(r.setProp)>(cc, "FlatSB_SetScrollProp");
        r.setInfo = SystemFunction<decltype(r.setInfo)>(cc, "FlatSB_SetScrollInfo");
        r.getInfo = SystemFunction<decltype(r.getInfo)>(cc, "FlatSB_GetScrollInfo");
        r.setPos = SystemFunction<decltype(r.setPos)>(cc, "FlatSB_SetScrollPos");
        if (!r.initialize || !r.setProp || !r.setInfo || !r.getInfo || !r.setPos) r = FlatScrollBars{};
        return r;
    }();
    return f;
}

// --- sb: a scroll box whose children (the desktops' groups) scroll vertically, with a
// flat scroll bar. What they report goes to the form, as if they were its own controls.
class ScrollBox : public ui::Window {
public:
    static constexpr const char* kClassName = "TvxScrollBox";
    static void Register() {
        ui::EnsureWindowClass({.name = kClassName, .background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                               .factory = [](HWND, const CREATESTRUCTA&) -> ui::Window* { return new ScrollBox(); }});
    }

    int Position() const { return pos_; }
    void SetContentHeight(int height) {
        content_ = height;
        RECT r{};
        GetClientRect(Hwnd(), &r);
        SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, height > 0 ? height - 1 : 0,
                      static_cast<UINT>(r.bottom), pos_, 0};
        if (flat_) FlatScroll().setInfo(Hwnd(), SB_VERT, &si, TRUE);
        else SetScrollInfo(Hwnd(), SB_VERT, &si, TRUE);
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
        if (flat_) FlatScroll().setPos(Hwnd(), SB_VERT, pos_, TRUE);
        else SetScrollPos(Hwnd(), SB_VERT, pos_, TRUE);
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
        const FlatScrollBars& f = FlatScroll();
        flat_ = f.initialize && f.initialize(Hwnd());
        if (flat_) f.setProp(Hwnd(), WSB_PROP_VSTYLE, FSB_FLAT_MODE, FALSE);
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
            if (flat_) FlatScroll().getInfo(Hwnd(), SB_VERT, &si);
            else GetScrollInfo(Hwnd(), SB_VERT, &si);
            switch (LOWORD(wp)) {
            case SB_LINEUP: ScrollTo(pos_ - Scaled(kScrollLine)); break;
            case SB_LINEDOWN: ScrollTo(pos_ + Scaled(kScrollLine)); break;
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
    bool flat_ = false;
};

constexpr std::uint32_t kBoldLabel = ui::kBold;
constexpr std::uint32_t kValueLabel = ui::kBold | ui::kFixedSize;
// Panel1 fills the window: a 1-px raised outer bevel, then its border width of 3. Panel3
// fills Panel1: a 1-px lowered outer bevel, then its border width of 3. So Panel3's
// contents start at 1 + 3 + 1 + 3 = 8 from the window's edges: sb at (8, 8), 348 wide,
// and Panel2 (aligned right, 276 wide) at (632 - 276, 8) = (356, 8), its controls placed
// from that corner.
constexpr int kPanel1Bevel = 1, kBorderWidth = 3, kPanel3Bevel = 1;
constexpr int kInner = kPanel1Bevel + kBorderWidth + kPanel3Bevel + kBorderWidth;  // 8
constexpr int kP2x = 640 - kInner - 276, kP2y = kInner;
static_assert(kP2x == 356 && kP2y == 8, "Panel2 starts at (356, 8)");

const ControlDef kControls[] = {
    {.kind = Kind::Custom, .id = id::sb, .name = "sb", .at = {kInner, kInner, 348, 464}, .flags = ui::kHolder,
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
    // No caption bar shows it: the name screen readers give the window.
    .caption = "Task switching",
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
    static const HICON icon = [] {
        const int size = dpi::Metric(SM_CXICON, dpi::System());
        return static_cast<HICON>(LoadImageA(module::Instance(), "APPWINDOW", IMAGE_ICON, size, size, LR_SHARED));
    }();
    return icon;
}

// All icons of one desktop as one strip, added to the image list at once: adding them one
// by one costs a round of the image list's work per icon.
UniqueImageList MakeIconStrip(const std::vector<HICON>& icons, int size) {
    const int n = static_cast<int>(icons.size());
    UniqueImageList list(ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, n, 1));
    if (!list) throw SystemError("Cannot create an image list", GetLastError());
    if (n == 0) return list;
    WindowDc screen(nullptr);
    UniqueHdc dc(CreateCompatibleDC(screen.dc()));
    UniqueHbitmap colour(CreateCompatibleBitmap(screen.dc(), size * n, size));
    UniqueHbitmap mask(CreateBitmap(size * n, size, 1, 1, nullptr));
    if (!dc || !colour || !mask) throw SystemError("Cannot draw the icons", GetLastError());
    {
        SelectGuard sel(dc.get(), colour.get());
        PatBlt(dc.get(), 0, 0, size * n, size, BLACKNESS);
        for (int i = 0; i < n; ++i)
            DrawIconEx(dc.get(), i * size, 0, icons[i], size, size, 0, nullptr, DI_IMAGE);
    }
    {
        SelectGuard sel(dc.get(), mask.get());
        PatBlt(dc.get(), 0, 0, size * n, size, WHITENESS);
        for (int i = 0; i < n; ++i)
            DrawIconEx(dc.get(), i * size, 0, icons[i], size, size, 0, nullptr, DI_MASK);
    }
    if (ImageList_Add(list.get(), colour.get(), mask.get()) < 0) throw Error("Cannot add the icons");
    return list;
}

// Selects one item of a list of large icons (-1: none) without giving it the focus state:
// an icon view shows the whole title of the item that has both the focus state and the
// list's focus, over the items below it; any other item's title ends with an ellipsis
// where it does not fit (two lines at most). The list still takes the input focus, so the
// selection shows in the highlight colour.
void SelectItem(HWND list, int index) {
    if (!list) return;
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    if (index < 0) return;
    item.state = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

// A value label's text as the label can show it: ending with "..." where it does not fit.
std::string FitLabel(HWND label, const std::string& text) {
    RECT r{};
    if (!label || !GetClientRect(label, &r)) return text;
    WindowDc dc(label);
    if (!dc.dc()) return text;
    SelectGuard font(dc.dc(), reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
    return FitWithEllipsis(text, r.right, [&](std::string_view s) {
        SIZE size{};
        GetTextExtentPoint32A(dc.dc(), s.data(), static_cast<int>(s.size()), &size);
        return static_cast<int>(size.cx);
    });
}

// --- Activation of the chosen window, under the foreground rules of Windows.
//
// SetForegroundWindow succeeds only for a caller that may set the foreground: the
// foreground process, the process that received the last input event, and a few more
// (SetForegroundWindow, Remarks); otherwise Windows only flashes the window's taskbar
// button and returns FALSE. The library's process receives the input through its hooks
// and shows the switcher, so the first try normally succeeds. A refusal is met the
// accepted way: this thread attaches its input to the foreground thread's for the call
// (threads that share their input state share the right to activate), and detaches again.
// A window can only be activated on its own desktop, which must be the input desktop by
// then: SwitchDesktop comes first, and a window of another desktop than this thread's is
// activated by a thread attached to that desktop.
//
// Nothing here waits on the chosen window's thread: ShowWindow and BringWindowToTop on
// another thread's window wait until that thread has carried them out, without limit, and
// a window that no longer answers would hang the main program. So the restore and the
// raise are only asked for (ShowWindowAsync, SWP_ASYNCWINDOWPOS). SetForegroundWindow on
// another thread's window is completed by that thread too: it returns once the system has
// taken the request, and GetForegroundWindow names the window only after its thread has
// answered. The input is never attached to the chosen window's own thread (activation
// would then run here, waiting on it) nor to a hung one.
void RaiseWithoutWaiting(HWND target) {
    SetWindowPos(target, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS);
}

bool ActivateHere(HWND target) {
    if (!IsWindow(target)) return false;
    if (IsIconic(target)) ShowWindowAsync(target, SW_RESTORE);
    RaiseWithoutWaiting(target);
    if (SetForegroundWindow(target)) return true;
    HWND foreground = GetForegroundWindow();
    const DWORD self = GetCurrentThreadId();
    const DWORD owner = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    const bool attached = owner && owner != self && owner != GetWindowThreadProcessId(target, nullptr) &&
                          !IsHungAppWindow(foreground) && AttachThreadInput(self, owner, TRUE);
    const bool taken = SetForegroundWindow(target) != FALSE;
    if (attached) AttachThreadInput(self, owner, FALSE);
    return taken;
}

struct DesktopActivation {
    std::string desktop;
    HWND target;
    std::atomic<bool> activated{false};
};

DWORD WINAPI ActivateOnDesktop(void* param) {
    // The caller may stop waiting: the job is shared, and its last owner frees it.
    std::unique_ptr<std::shared_ptr<DesktopActivation>> job(static_cast<std::shared_ptr<DesktopActivation>*>(param));
    try {
        if (UniqueHdesk desktop = OpenDesktopByName((*job)->desktop))
            if (SetThreadDesktop(desktop.get())) (*job)->activated = ActivateHere((*job)->target);
    } catch (...) {
        ReportCaught("Alt+Tab activation", CurrentExceptionText());
    }
    return 0;
}

void ActivateChosen(HWND target, const std::string& desktopName) {
    // A desktop that cannot be opened is neither switched to nor activated on.
    UniqueHdesk desktop = OpenDesktopByName(desktopName);
    if (!desktop) return;
    if (!SwitchDesktop(desktop.get())) {
        ReportCaught("Alt+Tab activation", "SwitchDesktop refused: the chosen window stays where it is");
        return;
    }
    bool activated = false;
    if (desktopName == CurrentDesktopName()) {
        activated = ActivateHere(target);
    } else {
        auto job = std::make_shared<DesktopActivation>();
        job->desktop = desktopName;
        job->target = target;
        auto* param = new std::shared_ptr<DesktopActivation>(job);
        // It may outlive the wait below, and the library with it: it holds the module.
        UniqueHandle thread(module::StartLibraryThread(&ActivateOnDesktop, param));
        if (!thread) {
            delete param;
        } else {
            // Its window may be asked for something by the chosen window's thread meanwhile.
            HANDLE h = thread.get();
            const DWORD until = GetTickCount() + 3000;
            for (;;) {
                const DWORD left = until - GetTickCount();
                if (static_cast<LONG>(left) <= 0) break;
                if (MsgWaitForMultipleObjects(1, &h, FALSE, left, QS_ALLINPUT) != WAIT_OBJECT_0 + 1) break;
                ProcessMessages(nullptr);
            }
            activated = job->activated;
        }
    }
    if (!activated) ReportCaught("Alt+Tab activation", "the system refused the chosen window the foreground");
}

}  // namespace

// --- TAppThread

TAppThread::TAppThread(std::string desktopName, SharedProcessList& processes)
    : DesktopName(std::move(desktopName)), processes_(processes), apps_(static_cast<std::uint16_t>(sizeof(TAppEntry))) {
    thread_.reset(module::StartLibraryThread(&TAppThread::Execute, this, CREATE_SUSPENDED));
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

TVexloAltTabWnd::TVexloAltTabWnd(void (*gone)(HWND), KeyBacklog (*take)(HWND))
    : Form(kForm), gone_(gone), take_(take) {
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

bool TVexloAltTabWnd::Build(int earlierSteps, bool earlierClose, bool earlierCancel) {
    for (int i = 0; i < earlierSteps; ++i) selection_.Advance();
    for (int i = 0; i > earlierSteps; --i) selection_.Back();
    if (earlierCancel) selection_.RequestCancel();
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
    inputDesktop_ = input;
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
        if (auto* c = ui::Window::As<TvxChart>(Item(chart))) {
            c->SetGridSize(Scaled(kChartGrid));
            // Named as the group box around it says.
            if (const ui::ControlDef* def = Controls().Find(chart)) c->SetCaption(Text(def->parent));
        }
    cCPU_ = ui::Window::As<TvxChart>(Item(id::cCPU));
    cMemory_ = ui::Window::As<TvxChart>(Item(id::cMemory));
    cSwap_ = ui::Window::As<TvxChart>(Item(id::cSwap));
    // Both timers run from creation: the samples taken while the desktops are gathered
    // (the window dispatches its messages meanwhile) are on the charts when it shows.
    SetTimer(Hwnd(), kMainTimer, 100, nullptr);
    SetTimer(Hwnd(), kUpdateTimer, 1000, nullptr);
    return true;
}

void TVexloAltTabWnd::AddGroups() {
    // Each group is built as soon as its desktop is in, while the later ones are still
    // being gathered. The groups are made in their places, for a scroll range that has
    // room for every desktop; only their width changes when fewer have windows.
    auto* sb = ui::Window::As<ScrollBox>(Item(id::sb));
    if (!sb) throw Error("The switcher has no scroll box");
    sb->SetContentHeight(Scaled(static_cast<int>(desktops_.size()) * kGroupHeight));
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
    const int row = static_cast<int>(groupsShown_.size()), top = row * kGroupHeight;
    // The table's lengths are at 96 DPI; the width is the scroll box's, so at another scale
    // the rounding of the two is put right below.
    const int width96 = MulDiv(width, dpi::kBase, Dpi());
    const std::string caption = e.DisplayName.Str();
    AddControl({.kind = Kind::GroupBox, .id = id::GroupOf(entry), .name = "GroupBox",
                .at = {0, top, width96, kGroupHeight}, .text = caption.c_str(), .flags = ui::kBold, .parent = id::sb});
    HWND view = AddControl({.kind = Kind::ListView, .id = id::ViewOf(entry), .name = "View",
                            .at = {2, top + 15, width96 - 4, kGroupHeight - 17}, .tab = 0, .parent = id::sb});
    if (Dpi() != dpi::kBase) PlaceGroup(entry, row, width);
    e.View = view;
    SendMessageA(view, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FLATSB, LVS_EX_FLATSB);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    SendMessageA(view, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(face));
    SendMessageA(view, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(face));
    // The titles in the text colour of that face: in high contrast the list's own default
    // may be the colour of the face itself.
    if (ui::HighContrast()) SendMessageA(view, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_BTNTEXT)));

    SetGroupIcons(e);

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
    // Readers hear the list as its desktop and each item as its window and desktop.
    if (ui::Accessible* acc = ui::ControlAccessible(view)) acc->SetName(caption);
    SpeakItems(entry, -1);
}

void TVexloAltTabWnd::SetGroupIcons(const TDeskEntry& e) {
    if (!e.View) return;
    const HICON fallback = AppWindowIcon();
    std::vector<HICON> icons;
    icons.reserve(static_cast<std::size_t>(e.Apps.Count()));
    for (std::int32_t k = 0; k < e.Apps.Count(); ++k) {
        HICON icon = At<TAppEntry>(e.Apps, k).Icon;
        icons.push_back(icon ? icon : fallback);
    }
    UniqueImageList images = MakeIconStrip(icons, dpi::Metric(SM_CXICON, Dpi()));
    // The list destroys the image list it holds with itself; the one it held before is
    // handed back, and goes here.
    UniqueImageList previous(reinterpret_cast<HIMAGELIST>(
        SendMessageA(e.View, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(images.release()))));
}

void TVexloAltTabWnd::LayoutGroups(int placedWidth) {
    auto* sb = ui::Window::As<ScrollBox>(Item(id::sb));
    if (!sb) return;
    sb->SetContentHeight(Scaled(static_cast<int>(groupsShown_.size()) * kGroupHeight));
    const int width = sb->ClientWidth();
    if (width == placedWidth) return;
    int row = 0;
    for (int entry : groupsShown_) PlaceGroup(entry, row++, width);
}

void TVexloAltTabWnd::PlaceGroup(int entry, int row, int width) {
    auto* sb = ui::Window::As<ScrollBox>(Item(id::sb));
    const int top = Scaled(row * kGroupHeight) - (sb ? sb->Position() : 0);
    SetWindowPos(Item(id::GroupOf(entry)), nullptr, 0, top, width, Scaled(kGroupHeight), SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(Item(id::ViewOf(entry)), nullptr, Scaled(2), top + Scaled(15), width - Scaled(4),
                 Scaled(kGroupHeight - 17), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TVexloAltTabWnd::DpiChanged(int) {
    for (TvxChart* c : {cMemory_, cCPU_, cSwap_})
        if (c) c->SetGridSize(Scaled(kChartGrid));
    // The icons at the new DPI's icon size.
    for (int entry : groupsShown_) SetGroupIcons(desktops_[static_cast<std::size_t>(entry)]);
    LayoutGroups(-1);
}

void TVexloAltTabWnd::Present() {
    try {
        HWND wnd = Hwnd();
        // The hook's thread may be DPI-unaware: the screen and the window in physical pixels.
        const dpi::AwareScope aware;
        const int w = Scaled(640), h = Scaled(480);
        const int x = CentredOrigin(GetSystemMetrics(SM_CXSCREEN), w);
        const int y = CentredOrigin(GetSystemMetrics(SM_CYSCREEN), h);
        SetWindowPos(wnd, HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE);
        // The selection, its scrolling and its details are in place before the first paint,
        // so nothing is painted twice; only the focus needs the window shown.
        PlaceSelection();
        // The keys came from the input desktop (a hook sees only its own desktop's keys).
        // When that is not this thread's desktop, the window would show where nobody looks:
        // this desktop becomes the input desktop while it shows. Closing switches to the
        // chosen window's desktop as always; a cancel goes back where the user was.
        const std::string here = CurrentDesktopName();
        if (!inputDesktop_.empty() && !here.empty() && inputDesktop_ != here)
            if (UniqueHdesk own = OpenDesktopByName(here); own && SwitchDesktop(own.get())) returnTo_ = inputDesktop_;
        ShowModeless();  // from here on the window owns this object
        ui::NotifyClient(EVENT_SYSTEM_SWITCHSTART, wnd);
        switchStarted_ = true;
        const ui::AliveToken alive = Token();
        // Synchronous, but a main program that hangs does not take the hook's thread along.
        if (HWND host = MainProgramWindow(); host && IsWindow(host)) {
            DWORD_PTR ignored = 0;
            SendMessageTimeoutA(host, kHostNotify, reinterpret_cast<WPARAM>(wnd), 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        }
        if (!alive) return;
        FocusSelection();
        if (selection_.CancelDue() && selection_.RequestCancel()) CancelAndGo();
        else if (selection_.CloseDue() && selection_.RequestClose()) CloseAndActivate();
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
    if (auto* sb = ui::Window::As<ScrollBox>(Item(id::sb))) {
        int row = 0;
        for (int entry : groupsShown_) {
            if (entry == at->desk) break;
            ++row;
        }
        sb->EnsureVisible(Scaled(row * kGroupHeight), Scaled((row + 1) * kGroupHeight));
    }
    selecting_ = true;
    SelectItem(Item(id::ViewOf(at->desk)), at->app);
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
    // The item itself takes the focus for readers, as Windows' own switcher names each
    // window as the selection moves. The events need no activation: the window in front
    // keeps the foreground.
    if (!switchStarted_) return;  // Present tells it once the switch has begun
    if (spokenDesk_ >= 0 && spokenDesk_ != at->desk) SpeakItems(spokenDesk_, -1);
    SpeakItems(at->desk, at->app);
    spokenDesk_ = at->desk;
    ui::NotifyClient(EVENT_OBJECT_SELECTION, e.View, at->app + 1);
    ui::NotifyClient(EVENT_OBJECT_FOCUS, e.View, at->app + 1);
}

void TVexloAltTabWnd::SpeakItems(int entry, int selected) {
    const TDeskEntry& e = desktops_[static_cast<std::size_t>(entry)];
    ui::Accessible* acc = ui::ControlAccessible(e.View);
    if (!acc) return;
    std::vector<ui::AccessibleItem> items(static_cast<std::size_t>(e.Apps.Count()));
    for (std::int32_t k = 0; k < e.Apps.Count(); ++k) {
        ui::AccessibleItem& item = items[static_cast<std::size_t>(k)];
        item.role = ROLE_SYSTEM_LISTITEM;
        item.state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE |
                     (k == selected ? STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED : 0);
        item.name = At<TAppEntry>(e.Apps, k).Title.Str() + ", " + e.DisplayName.Str();
    }
    acc->SetChildren(std::move(items));
}

void TVexloAltTabWnd::SwitchEnds() {
    if (switchStarted_) ui::NotifyClient(EVENT_SYSTEM_SWITCHEND, Hwnd());
    switchStarted_ = false;
}

void TVexloAltTabWnd::ShowDetails() {
    const auto at = selection_.Current();
    const TAppEntry* app = CurrentApp();
    if (!at || !app) return;
    const DetailTexts t = MakeDetailTexts(desktops_[static_cast<std::size_t>(at->desk)].DisplayName.View(),
                                          app->Title.View(), app->FileName.View(), app->ProcessID,
                                          ProcessMemory(app->ProcessID), ProcessPriorityClass(app->ProcessID));
    SetText(id::lDesk, t.desk);
    SetText(id::lWnd, FitLabel(Item(id::lWnd), t.window));
    SetText(id::lFile, t.file);
    SetText(id::lPID, t.pid);
    SetText(id::lMemory, t.memory);
    SetText(id::lPriority, t.priority);
}

bool TVexloAltTabWnd::OnNotify(int id, const NMHDR& hdr, LRESULT&) {
    if (hdr.code != LVN_ITEMCHANGED || id < id::kFirstGroup || (id - id::kFirstGroup) % 2 != 1) return false;
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(hdr);
    if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_FOCUSED) && change.iItem >= 0) {
        // A click gave an item the focus state: take it back, or its title unfolds over
        // the items below it (see SelectItem).
        LVITEMA item{};
        item.stateMask = LVIS_FOCUSED;
        SendMessageA(hdr.hwndFrom, LVM_SETITEMSTATE, static_cast<WPARAM>(change.iItem), reinterpret_cast<LPARAM>(&item));
    }
    if (!(change.uChanged & LVIF_STATE) || !((change.uOldState ^ change.uNewState) & LVIS_SELECTED)) return false;
    if (selecting_ || selection_.Closing() || !selection_.Built()) return false;
    selection_.OnItemChanged((id - id::kFirstGroup) / 2, change.iItem);
    ShowDetails();
    return false;
}

bool TVexloAltTabWnd::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == kAdvance || msg == kCancel || msg == WM_CLOSE) {
        TakeKeys();
        result = msg == kAdvance ? 1 : 0;
        return true;
    }
    return Form::HandleMessage(msg, wp, lp, result);
}

void TVexloAltTabWnd::TakeKeys() {
    const KeyBacklog keys = take_ ? take_(Hwnd()) : KeyBacklog{};
    if (keys.cancel) {
        // While it is being built the window stays; it goes, unshown, once built.
        if (selection_.RequestCancel()) CancelAndGo();
        return;
    }
    // Before the build the steps are counted and taken once the groups are there.
    const bool built = selection_.Built() && !selection_.Closing();
    for (int i = 0; i < keys.steps; ++i) selection_.Advance();
    for (int i = 0; i > keys.steps; --i) selection_.Back();
    if (built && keys.steps != 0) Select();
    // While it is being built the window stays; it closes as soon as it is built.
    if (keys.close && selection_.RequestClose()) CloseAndActivate();
}

void TVexloAltTabWnd::CloseAndActivate() {
    SwitchEnds();
    KillTimer(Hwnd(), kMainTimer);
    KillTimer(Hwnd(), kUpdateTimer);
    const auto at = selection_.Current();
    const TAppEntry* app = CurrentApp();
    // Activated while the switcher still exists: its thread is the one the user's input
    // reached, which the foreground rules let activate another window.
    const ui::AliveToken alive = Token();
    if (at && app) ActivateChosen(app->Wnd, desktops_[static_cast<std::size_t>(at->desk)].ObjectName.Str());
    // Activating another desktop's window waits for a thread, dispatching messages: the
    // host may have destroyed this window meanwhile.
    if (alive) Destroy();
}

void TVexloAltTabWnd::CancelAndGo() {
    SwitchEnds();
    KillTimer(Hwnd(), kMainTimer);
    KillTimer(Hwnd(), kUpdateTimer);
    // Nothing is switched to or activated; a desktop switched to only to show the window is
    // left again for the one the user was on.
    if (!returnTo_.empty())
        if (UniqueHdesk back = OpenDesktopByName(returnTo_); !back || !SwitchDesktop(back.get()))
            ReportCaught("Alt+Tab cancel", "could not switch back to the desktop the user was on");
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
    // Panel1's raised outer bevel at the window's edge, and inside its border width Panel3's
    // lowered outer bevel: 1-px frames in the button highlight and shadow colours, as a
    // panel's bevel is drawn.
    PaintDc paint(Hwnd());
    RECT client{};
    GetClientRect(Hwnd(), &client);
    const auto line = [&](int at, COLORREF topLeft, COLORREF bottomRight) {
        const int r = client.right - at - 1, b = client.bottom - at - 1;
        UniqueHpen light(CreatePen(PS_SOLID, 1, topLeft)), dark(CreatePen(PS_SOLID, 1, bottomRight));
        {
            SelectGuard pen(paint.dc(), light.get());
            MoveToEx(paint.dc(), at, b, nullptr);
            LineTo(paint.dc(), at, at);
            LineTo(paint.dc(), r, at);
        }
        SelectGuard pen(paint.dc(), dark.get());
        MoveToEx(paint.dc(), r, at, nullptr);
        LineTo(paint.dc(), r, b);
        LineTo(paint.dc(), at - 1, b);
    };
    // A bevel as wide as one pixel at 96 DPI.
    const auto frame = [&](int at, COLORREF topLeft, COLORREF bottomRight) {
        for (int i = 0; i < Scaled(1); ++i) line(Scaled(at) + i, topLeft, bottomRight);
    };
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW);
    frame(0, highlight, shadow);
    frame(kPanel1Bevel + kBorderWidth, shadow, highlight);
    return true;
}

void TVexloAltTabWnd::OnDestroy() {
    SwitchEnds();
    KillTimer(Hwnd(), kMainTimer);
    KillTimer(Hwnd(), kUpdateTimer);
    cCPU_ = cMemory_ = cSwap_ = nullptr;
    desktops_.clear();
    if (gone_) gone_(Hwnd());
}

}  // namespace vexlo::switching
