// The window base, the form layer's run-time controls and window options, and the
// boundary guards, linked into the test program and driven for real.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"
#include "shared/desktops.h"
#include "shared/guard.h"
#include "shared/module.h"
#include "shared/once.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace {

using namespace vexlo;
using namespace vexlo::ui;

constexpr int kGroup = 10, kList = 11, kOk = 12, kAddedGroup = 20, kAddedList = 21, kAddedLabel = 22;

constexpr ControlDef kControls[] = {
    {.kind = Kind::GroupBox, .id = kGroup, .name = "gb", .at = {8, 8, 200, 100}, .text = "Group", .tab = 0},
    {.kind = Kind::ListView, .id = kList, .name = "lv", .at = {8, 16, 184, 76}, .tab = 0, .parent = kGroup},
    {.kind = Kind::Button, .id = kOk, .name = "ok", .at = {8, 200, 75, 25}, .text = "OK", .tab = 2,
     .flags = kDefault},
};

constexpr FormDef kForm = {
    .className = "TvxPlatformTest", .caption = "Platform", .clientWidth = 300, .clientHeight = 240,
    .position = Position::ScreenCenter, .controls = kControls,
};

// A form that records what reached its handlers.
class Probe : public Form {
public:
    explicit Probe(const FormDef& def = kForm, bool* destroyed = nullptr) : Form(def), destroyed_(destroyed) {}
    int timers = 0, notifications = 0, commands = 0, destroyHandlers = 0;
    std::string reported;
    bool throwOnCommand = false, throwOnDestroy = false;

protected:
    void OnTimer(UINT_PTR) override { ++timers; }
    bool OnNotify(int id, const NMHDR& hdr, LRESULT&) override {
        if (id == kList && hdr.code == LVN_ITEMCHANGED) ++notifications;
        return false;
    }
    void OnCommand(int, int code, HWND) override {
        if (code != BN_CLICKED) return;
        ++commands;
        if (throwOnCommand) throw std::runtime_error("click failed");
    }
    void OnDestroy() override {
        ++destroyHandlers;
        if (destroyed_) *destroyed_ = true;
        if (throwOnDestroy) throw std::runtime_error("destroy failed");
    }
    void OnError(const char* text) override { reported = text; }

private:
    bool* destroyed_;
};

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { module::SetInstance(GetModuleHandleA(nullptr)); }
};

TEST_F(PlatformTest, RunTimeControlsSitInTheirGroupsAndTabOrder) {
    auto form = MakeOwned<Probe>();
    HWND wnd = form->Handle();
    form->AddControl({.kind = Kind::GroupBox, .id = kAddedGroup, .name = "gb2", .at = {8, 112, 200, 80},
                      .text = "Added", .tab = 1});
    std::string caption = "a label made of a temporary string";
    form->AddControl({.kind = Kind::Label, .id = kAddedLabel, .name = "l", .at = {10, 18, 0, 0},
                      .text = caption.c_str(), .flags = kBold, .parent = kAddedGroup});
    form->AddControl({.kind = Kind::ListView, .id = kAddedList, .name = "lv2", .at = {8, 36, 184, 40}, .tab = 0,
                      .parent = kAddedGroup});
    caption.assign(caption.size(), 'x');  // the form keeps its own copy
    harness::ExpectPlaces(wnd, {
                                   {kAddedGroup, 8, 112, 200, 80, "Added"},
                                   {kAddedLabel, 18, 130, -1, -1, "a label made of a temporary string"},
                                   {kAddedList, 16, 148, 184, 40, nullptr},
                               });
    // Bold comes from the form's fonts, at the form's height.
    LOGFONTA lf{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(form->Item(kAddedLabel), WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfHeight, -11);
    // Tab order: the first list, the added list (tab 1 among the form's own), then OK.
    HWND first = GetNextDlgTabItem(wnd, nullptr, FALSE);
    EXPECT_EQ(GetDlgCtrlID(first), kList);
    EXPECT_EQ(GetDlgCtrlID(GetNextDlgTabItem(wnd, first, FALSE)), kAddedList);
    EXPECT_EQ(GetDlgCtrlID(GetNextDlgTabItem(wnd, form->Item(kAddedList), FALSE)), kOk);
    // Items and the chosen item of a run-time list go through the same calls as any list.
    form->SetItems(kAddedList, {"one", "two", "three"});
    form->SetItemIndex(kAddedList, 2);
    EXPECT_EQ(form->ItemIndex(kAddedList), 2);
}

TEST_F(PlatformTest, TimersAndNotificationsReachTheirHandlers) {
    auto form = MakeOwned<Probe>();
    HWND wnd = form->Handle();
    form->SetItems(kList, {"a", "b"});
    form->SetItemIndex(kList, 1);  // the list view tells its parent of the change
    EXPECT_GT(form->notifications, 0);
    SetTimer(wnd, 7, 10, nullptr);
    harness::WaitUntil([&] {
        harness::Pump(20);
        return form->timers >= 2;
    });
    KillTimer(wnd, 7);
    EXPECT_GE(form->timers, 2);
}

TEST_F(PlatformTest, ShowingWithoutActivationLeavesTheActiveWindow) {
    harness::Recorder host;
    ShowWindow(host.hwnd(), SW_SHOW);
    SetForegroundWindow(host.hwnd());
    harness::Pump(50);
    ASSERT_EQ(GetForegroundWindow(), host.hwnd());

    FormDef quiet = kForm;
    quiet.className = "TvxPlatformQuiet";
    quiet.activateOnShow = false;
    quiet.options = kToolWindow | kTopmost;
    auto* form = new Probe(quiet);
    form->ShowModeless();
    HWND wnd = form->Hwnd();
    harness::Pump(50);
    EXPECT_TRUE(IsWindowVisible(wnd));
    EXPECT_EQ(GetForegroundWindow(), host.hwnd());
    EXPECT_EQ(GetActiveWindow(), host.hwnd());
    const LONG_PTR ex = GetWindowLongPtrA(wnd, GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(ex & WS_EX_TOPMOST);
    DestroyWindow(wnd);  // the window owns the modeless form
}

TEST_F(PlatformTest, ColourKeyLetsClicksThroughToTheWindowBelow) {
    harness::Recorder below;
    SetWindowPos(below.hwnd(), HWND_TOP, 100, 100, 300, 200, SWP_SHOWWINDOW);
    FormDef keyed = kForm;
    keyed.className = "TvxPlatformKeyed";
    keyed.border = Border::None;
    keyed.controls = {};
    keyed.position = Position::Default;
    keyed.background = Rgb(0, 0, 0);
    keyed.colourKey = Rgb(0, 0, 0);
    keyed.options = kTopmost;
    auto form = MakeOwned<Probe>(keyed);
    HWND wnd = form->Handle();
    SetWindowPos(wnd, HWND_TOPMOST, 100, 100, 300, 240, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    harness::Pump(100);
    EXPECT_TRUE(GetWindowLongPtrA(wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    COLORREF key = 1;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(wnd, &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(0, 0, 0));
    EXPECT_TRUE(flags & LWA_COLORKEY);
    // The whole form is its key colour: a point on it belongs to the window below.
    EXPECT_EQ(WindowFromPoint(POINT{200, 150}), below.hwnd());
}

TEST_F(PlatformTest, AThrowingHandlerIsReportedAndTheWindowLivesOn) {
    auto form = MakeOwned<Probe>();
    HWND wnd = form->Handle();
    form->throwOnCommand = true;
    harness::Dialog(form->Hwnd()).Click(kOk);
    EXPECT_EQ(form->commands, 1);
    EXPECT_EQ(form->reported, "click failed");
    EXPECT_TRUE(IsWindow(wnd));
    EXPECT_EQ(Window::FromHandle(wnd), form.get());
}

TEST_F(PlatformTest, AThrowingDestroyHandlerStillLeavesTheWindowGoneAndTheObjectDeleted) {
    bool destroyed = false;
    auto* form = new Probe(kForm, &destroyed);
    form->throwOnDestroy = true;
    form->ShowModeless();
    HWND wnd = form->Hwnd();
    AliveToken alive = form->Token();
    DestroyWindow(wnd);
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_FALSE(alive.Alive());  // deleted: its window owned it
}

TEST_F(PlatformTest, TheDialogsOwnDestroyHandlerRunsWhenItsCodeEndsIt) {
    bool destroyed = false;
    HWND wnd = nullptr;
    {
        auto form = MakeOwned<Probe>(kForm, &destroyed);
        wnd = form->Handle();
    }
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(IsWindow(wnd));
}

// A control class made by its windows from the table's definition, and a holder of
// controls: both registered per type.
class Tagged : public Window {
public:
    static WindowClass Class() { return {.name = "TvxTaggedTest"}; }
    explicit Tagged(const ControlDef& d) : def(d) {}
    const ControlDef& def;
};
class Holder : public ControlHolder {
public:
    static WindowClass Class() { return {.name = "TvxHolderTest"}; }
};

TEST_F(PlatformTest, TypedAccessAndHoldersThatForwardToTheForm) {
    RegisterClassFor<Tagged>();
    RegisterClassFor<Holder>();
    auto form = MakeOwned<Probe>();
    HWND wnd = form->Handle();
    form->AddControl(
        {.kind = Kind::Custom, .id = 30, .name = "t", .at = {220, 8, 20, 20}, .className = "TvxTaggedTest"});
    form->AddControl(
        {.kind = Kind::Custom, .id = 31, .name = "h", .at = {220, 40, 60, 40}, .className = "TvxHolderTest"});
    HWND tagged = form->Item(30), holder = form->Item(31);
    const Tagged* t = Window::As<Tagged>(tagged);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->def.id, 30);
    EXPECT_EQ(Window::As<Holder>(tagged), nullptr);
    EXPECT_EQ(Window::As<Probe>(wnd), form.get());
    EXPECT_EQ(Window::As<Tagged>(form->Item(kOk)), nullptr);  // a system control carries no object

    // A click inside the holder reaches the form's handler as its own control's would.
    HWND button = CreateWindowExA(0, "BUTTON", "in", WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, holder,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(32)), nullptr, nullptr);
    ASSERT_NE(button, nullptr);
    SendMessageA(holder, WM_COMMAND, MAKEWPARAM(32, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    EXPECT_EQ(form->commands, 1);
}

TEST(Guards, EachBoundaryGivesItsStatedResult) {
    EXPECT_EQ(Guarded<int>(-1, "export", []() -> int { throw std::runtime_error("x"); }), -1);
    EXPECT_EQ(Guarded<int>(-1, "export", [] { return 7; }), 7);

    EXPECT_EQ(GuardedCom("com", []() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(GuardedCom("com", []() -> HRESULT { throw SystemError("denied", ERROR_ACCESS_DENIED); }),
              HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GuardedCom("com", []() -> HRESULT { throw SystemError("no code", 0); }), E_FAIL);
    EXPECT_EQ(GuardedCom("com", []() -> HRESULT { throw 42; }), E_FAIL);
    EXPECT_EQ(GuardedCom("com", [] { return S_FALSE; }), S_FALSE);

    // A hook body that raises still passes the event on; one that swallows gives its result.
    bool inside = false;
    EXPECT_EQ(GuardedHook("hook", nullptr, HC_ACTION, 0, 0, [&]() -> HookResult {
                  inside = InHookProcedure();
                  throw std::runtime_error("hook failed");
              }),
              CallNextHookEx(nullptr, HC_ACTION, 0, 0));
    EXPECT_TRUE(inside);
    EXPECT_FALSE(InHookProcedure());
    EXPECT_EQ(GuardedHook("hook", nullptr, HC_ACTION, 0, 0, [] { return HookResult::Swallow(5); }), 5);
    // Negative codes are the system's: the body does not run.
    bool ran = false;
    GuardedHook("hook", nullptr, -1, 0, 0, [&] {
        ran = true;
        return HookResult::Swallow();
    });
    EXPECT_FALSE(ran);
}

// The standard library's own fault reports, raised by the DLL's replacements (linked into
// this program as into the DLL), are ordinary errors at every boundary, with their text.
TEST(Guards, TheStandardLibrarysFaultsAreCaughtWithTheirText) {
    std::string text = "abc";
    EXPECT_EQ(Guarded<int>(-1, "export", [&] { return static_cast<int>(text.substr(5).size()); }), -1);
    std::vector<int> none;
    EXPECT_EQ(GuardedCom("com", [&]() -> HRESULT { return none.at(1); }), E_FAIL);
    EXPECT_EQ(GuardedCom("com", []() -> HRESULT { return *std::allocator<int>().allocate(SIZE_MAX / 2); }),
              E_OUTOFMEMORY);
    try {
        none.reserve(none.max_size() + 1);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "vector::reserve");
    }
}

TEST(FirstUse, RunsOnceForThreadsThatComeAtOnceAndAgainAfterAFailure) {
    RunOnce once;
    volatile LONG runs = 0, succeeded = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < 6; ++i)
        threads.emplace_back([&] {
            const bool ok = once.Run([&] {
                InterlockedIncrement(&runs);
                Sleep(30);  // the others arrive while it runs
                return true;
            });
            if (ok) InterlockedIncrement(&succeeded);
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(succeeded, 6);

    // A failure reaches its caller, raised or returned, and the next call runs init again.
    RunOnce failing;
    int tries = 0;
    EXPECT_THROW(failing.Run([&]() -> bool { ++tries; throw std::bad_alloc(); }), std::bad_alloc);
    EXPECT_FALSE(failing.Run([&] { ++tries; return false; }));
    EXPECT_TRUE(failing.Run([&] { ++tries; return true; }));
    EXPECT_TRUE(failing.Run([&] { ++tries; return true; }));
    EXPECT_EQ(tries, 3);
}

TEST_F(PlatformTest, NoErrorBoxFromInsideAHook) {
    auto form = MakeOwned<Probe>();
    form->Handle();
    form->throwOnCommand = true;
    GuardedHook("hook", nullptr, HC_ACTION, 0, 0, [&] {
        harness::Dialog(form->Hwnd()).Click(kOk);
        return HookResult::Pass();
    });
    EXPECT_EQ(form->commands, 1);
    EXPECT_EQ(form->reported, "");
}

}  // namespace

namespace {

TEST(Desktops, NamesOpeningAndPostingOnlyWhenTheDesktopOpens) {
    EXPECT_EQ(vexlo::CurrentDesktopName(), "Default");
    auto input = vexlo::OpenInputDesktopAll();
    ASSERT_TRUE(input);
    EXPECT_EQ(vexlo::DesktopName(input.get()), "Default");
    EXPECT_FALSE(vexlo::OpenDesktopByName("NoSuchDesktop"));
    harness::Recorder host;
    vexlo::PostIfDesktop("NoSuchDesktop", host.hwnd(), WM_USER + 5, 1, 0);
    vexlo::PostIfDesktop("Default", host.hwnd(), WM_USER + 5, 2, 0);
    vexlo::ProcessMessages(nullptr);
    ASSERT_EQ(host.Count(WM_USER + 5), 1u);
    EXPECT_EQ(host.Messages()[0].wp, 2u);
    // Only the named window's messages are taken: another window's stay queued.
    harness::Recorder other;
    PostMessageA(host.hwnd(), WM_USER + 5, 3, 0);
    PostMessageA(other.hwnd(), WM_USER + 5, 4, 0);
    vexlo::ProcessMessages(host.hwnd());
    EXPECT_EQ(host.Count(WM_USER + 5), 2u);
    EXPECT_EQ(other.Count(WM_USER + 5), 0u);
    MSG left;
    EXPECT_TRUE(PeekMessageA(&left, other.hwnd(), WM_USER + 5, WM_USER + 5, PM_NOREMOVE));
}

}  // namespace

namespace {

// Forms on several threads share the library's fonts: each font is made once, whichever
// thread asks first.
TEST(Fonts, ThreadsAskingAtOnceShareOneFontEach) {
    constexpr int kThreads = 8, kHeights = 400;
    std::vector<std::vector<HFONT>> seen(kThreads, std::vector<HFONT>(kHeights));
    std::vector<std::thread> threads;
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            WaitForSingleObject(go, INFINITE);
            for (int h = 0; h < kHeights; ++h) {
                const HFONT base = vexlo::ui::controls::SharedFont(-(100 + h), false);
                seen[t][h] = vexlo::ui::controls::UnderlinedFont(base);
            }
        });
    Sleep(50);
    SetEvent(go);
    for (std::thread& th : threads) th.join();
    CloseHandle(go);
    for (int h = 0; h < kHeights; ++h) {
        LOGFONTA lf{};
        ASSERT_TRUE(GetObjectA(seen[0][h], sizeof lf, &lf));
        EXPECT_TRUE(lf.lfUnderline);
        for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t][h], seen[0][h]) << h;
    }
}

}  // namespace
