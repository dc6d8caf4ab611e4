#pragma once
// TVexloAltTabWnd: the Alt+Tab switcher window. One group of window icons per desktop of
// the profile that has windows, the details of the selected window and three live load
// charts. Its window lists are gathered by one worker thread per desktop, all at once and
// sharing one process snapshot, while the window makes its fixed controls and then the
// groups of the desktops already gathered. It lives on the window thread (the thread that
// installed the hooks); the hook threads post it what the keys ask for.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "shared/handles.h"
#include "shared/shortstr.h"
#include "shared/vxList.h"
#include "switching/switch_rules.h"
#include "switching/uTaskManager.h"
#include "switching/vxSysInfo.h"
#include "ui/form.h"

namespace vexlo::switching {

class TvxChart;

// Gathers the application windows of one desktop on a thread of its own, attached to that
// desktop (only a thread without windows or hooks can be). Starts at construction.
class TAppThread {
public:
    TAppThread(std::string desktopName, SharedProcessList& processes);
    ~TAppThread();  // waits for the thread, still dispatching this thread's messages
    TAppThread(const TAppThread&) = delete;
    TAppThread& operator=(const TAppThread&) = delete;

    const std::string DesktopName;
    bool Running() const { return running_.load(); }
    // Waits for the end of the gathering, dispatching this thread's messages meanwhile (a
    // window of this thread may be asked for its text), and hands the list over.
    TvxList TakeApps();

private:
    static DWORD WINAPI Execute(void* self);
    void Wait();

    SharedProcessList& processes_;
    TvxList apps_;
    std::atomic<bool> running_{true};
    UniqueHandle thread_;
};

struct TDeskEntry {
    ShortString DisplayName;
    ShortString ObjectName;
    TvxList Apps;
    bool IsCurrent = false;
    bool HasApps = false;
    HWND View = nullptr;
};

// What the keys asked of a switcher since it last looked, as the hook recorded it.
struct KeyBacklog {
    int steps = 0;       // Tabs, forwards positive, backwards negative
    bool close = false;  // Alt released: activate the chosen window
    bool cancel = false; // Escape: go without switching or activating anything
};

class TVexloAltTabWnd : public ui::Form {
public:
    static constexpr const char* kClassName = "TVexloAltTabWnd";
    // The hook's nudges: Tab or Shift+Tab (wParam 0 or 1, result 1), Escape, and WM_CLOSE
    // for Alt's release. Any process can post them, so what they do is taken from the
    // hook's record (`take`), never from the message: a nudge the hook did not record does
    // nothing.
    static constexpr UINT kAdvance = 0x420;
    static constexpr UINT kCancel = 0x421;
    static constexpr UINT kHostNotify = WM_USER + 9;

    // `gone` is called with the window's handle when it goes (the hook keeps the handle
    // until then); `take` hands over what the hook recorded for this window.
    explicit TVexloAltTabWnd(void (*gone)(HWND) = nullptr, KeyBacklog (*take)(HWND) = nullptr);
    ~TVexloAltTabWnd() override;

    // Reads the profile's desktops and starts gathering their windows, so that the window
    // is made while they are gathered. Build starts it when nobody did.
    void StartGathering();
    // Makes the window and its groups, with key presses that came before it existed (steps
    // forwards positive, backwards negative); false when no desktop has a listed window
    // (the caller destroys it then, unshown).
    bool Build(int earlierSteps, bool earlierClose, bool earlierCancel);
    // Places, shows without activation, tells the host, selects; closes at once when a
    // close came while it was being built, and goes unshown (the host not told) when a
    // cancel came.
    void Present();
    // Escape came while it was being built: the caller destroys it, unshown.
    bool CancelledBeforeShown() const { return selection_.CancelDue(); }

    const std::vector<TDeskEntry>& Desktops() const { return desktops_; }
    const SwitcherSelection& Selection() const { return selection_; }

protected:
    bool OnCreate() override;
    void OnDestroy() override;
    bool OnNotify(int id, const NMHDR& hdr, LRESULT& result) override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void OnTimer(UINT_PTR id) override;
    bool OnPaint() override;
    void DpiChanged(int oldDpi) override;
    // Never a message box: this window lives in the keyboard hook's thread.
    void OnError(const char*) override {}

private:
    void ReadDesktops();
    void AddGroups();
    void AddGroup(int entry, int width);
    // The group's list gets its windows' icons at the size of the window's DPI.
    void SetGroupIcons(const TDeskEntry& e);
    void LayoutGroups(int placedWidth);
    void PlaceGroup(int entry, int row, int width);
    // The selection moves: scrolled into view, its item chosen, its details shown (all
    // of which can happen before the window shows), then its list takes the focus.
    void Select();
    void PlaceSelection();
    void FocusSelection();
    void ShowDetails();
    void TakeKeys();
    // What screen readers hear: the items of a group (selected: the chosen one, or -1),
    // and the end of the switch once its start was told.
    void SpeakItems(int entry, int selected);
    void SwitchEnds();
    void CloseAndActivate();
    void CancelAndGo();
    const TAppEntry* CurrentApp() const;

    void (*gone_)(HWND) = nullptr;
    KeyBacklog (*take_)(HWND) = nullptr;
    std::string inputDesktop_;  // the input desktop's name when the window was built
    std::string returnTo_;      // shown by switching to this thread's desktop: the one the user was on
    bool gathering_ = false;
    std::vector<TDeskEntry> desktops_;
    SharedProcessList processes_;
    std::vector<std::unique_ptr<TAppThread>> workers_;  // one per desktop, until the build ends
    std::vector<int> groupsShown_;  // entries with a group, top to bottom
    SwitcherSelection selection_;
    bool selecting_ = false;  // the lists' notifications of Select's own change are not a choice
    TvxSysInfo si_;
    TvxChart *cCPU_ = nullptr, *cMemory_ = nullptr, *cSwap_ = nullptr;
    int scroll_ = 0;
    int spokenDesk_ = -1;
    bool switchStarted_ = false;
};

}  // namespace vexlo::switching
