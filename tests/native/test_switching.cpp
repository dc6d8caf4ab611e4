// Task switching without windows: the chart's geometry, the walk over
// performance data with the processor-load arithmetic, the switcher's selection and key
// rules, which windows are listed, and the detail texts.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "shared/error.h"
#include "switching/app_rules.h"
#include "switching/chart_rules.h"
#include "switching/perf_data.h"
#include "switching/switch_rules.h"
#include "switching/switch_text.h"
#include "switching/sysinfo_rules.h"

namespace {

using namespace vexlo::switching;

// ---- chart ----------------------------------------------------------------------------

TEST(Chart, SnapsToTheGridAndTrimsTheOldestValues) {
    EXPECT_EQ(SnapToGrid({255, 85}, 10), (ChartSize{261, 81}));  // 25.5 -> 26, 8.5 -> 8
    EXPECT_EQ(SnapToGrid({251, 81}, 10), (ChartSize{251, 81}));
    EXPECT_EQ(SnapToGrid({35, 45}, 10), (ChartSize{41, 41}));    // 3.5 -> 4, 4.5 -> 4

    ChartData chart;
    chart.SetGridSize(10);
    for (int i = 0; i < 300; ++i) chart.AddValue(static_cast<std::uint8_t>(i));  // none dropped
    EXPECT_EQ(chart.Values().size(), 300u);
    EXPECT_EQ(chart.Paint({255, 85}).size, (ChartSize{261, 81}));
    ASSERT_EQ(chart.Values().size(), 259u);  // Width - 2, the newest kept
    EXPECT_EQ(chart.Values().back(), static_cast<std::uint8_t>(299));
    chart.Paint({251, 81});
    EXPECT_EQ(chart.Values().size(), 249u);  // the switcher's charts: about 25 s at 100 ms
    chart.Paint({4, 4});                     // snaps to 1 x 1: keeps nothing
    EXPECT_TRUE(chart.Values().empty());
}

TEST(Chart, DrawsTheFrameTheGridAndTheCurveFromTheNewestValue) {
    const ChartDrawing d = DrawChart({21, 21}, 10, {50, 0, 100, 25});
    EXPECT_EQ(d.shadowFrame, (std::vector<ChartPoint>{{0, 20}, {0, 0}, {20, 0}}));
    EXPECT_EQ(d.highlightFrame, (std::vector<ChartPoint>{{20, 0}, {20, 20}, {0, 20}}));
    EXPECT_EQ(d.grid, (std::vector<ChartLine>{{{10, 1}, {10, 20}}, {{1, 10}, {20, 10}}}));
    // Newest (25) at Width - 2, leftwards; the oldest (50) is not drawn. 25 x 18 / 100 = 4.5
    // goes to 4.
    EXPECT_EQ(d.curve, (std::vector<ChartPoint>{{19, 15}, {18, 1}, {17, 19}}));

    const ChartDrawing big = DrawChart({251, 81}, 10, {0, 100, 0});
    EXPECT_EQ(big.grid.size(), 24u + 7u);
    EXPECT_EQ(big.curve, (std::vector<ChartPoint>{{249, 79}, {248, 1}}));  // 0 at H-2, 100 at 1
    EXPECT_LT(ChartY(81, 255), 0);  // above 100: beyond the top, cut off by the bounds
}

TEST(Chart, FewerThanThreeValuesDrawNoCurve) {
    for (std::size_t n = 0; n < 3; ++n)
        EXPECT_TRUE(DrawChart({251, 81}, 10, std::vector<std::uint8_t>(n, 50)).curve.empty()) << n;
    EXPECT_EQ(DrawChart({251, 81}, 10, std::vector<std::uint8_t>(3, 50)).curve.size(), 2u);
}

// ---- performance data -----------------------------------------------------------------

// A block as Windows lays it out: a system name after the header, an object before the
// Processor object, a counter before counter 6, and instances with names.
struct PerfBuffer {
    std::vector<std::uint8_t> bytes;
    std::size_t processor = 0, counter6 = 0, firstInstance = 0;

    template <typename T> void Put(std::size_t at, const T& v) { std::memcpy(&bytes[at], &v, sizeof v); }
    template <typename T> void Append(const T& v) {
        bytes.resize(bytes.size() + sizeof v);
        Put(bytes.size() - sizeof v, v);
    }
    ByteSpan Span() const { return {bytes.data(), bytes.size()}; }
};

PerfBuffer MakePerfBuffer(const std::vector<std::int64_t>& idle, PerfSystemTime time,
                          const std::vector<std::u16string>& names = {}) {
    PerfBuffer b;
    PerfDataBlock block{};
    block.HeaderLength = sizeof block + 8;
    block.NumObjectTypes = 2;
    block.SystemTime = time;
    b.Append(block);
    b.Append(std::uint64_t{0x0054534f48});  // "HOST" as the system name's room

    PerfObjectType other{};
    other.TotalByteLength = other.DefinitionLength = other.HeaderLength = sizeof other;
    other.ObjectNameTitleIndex = 230;
    other.NumInstances = -1;
    b.Append(other);

    b.processor = b.bytes.size();
    PerfObjectType object{};
    object.HeaderLength = sizeof object;
    object.DefinitionLength = sizeof object + 2 * sizeof(PerfCounterDefinition);
    object.ObjectNameTitleIndex = kProcessorObjectIndex;
    object.NumCounters = 2;
    object.NumInstances = static_cast<std::int32_t>(idle.size());
    b.Append(object);
    PerfCounterDefinition user{};
    user.ByteLength = sizeof user;
    user.CounterNameTitleIndex = 142;
    user.CounterOffset = 16;
    b.Append(user);
    b.counter6 = b.bytes.size();
    PerfCounterDefinition time6 = user;
    time6.CounterNameTitleIndex = kProcessorTimeCounterIndex;
    time6.CounterOffset = 8;
    b.Append(time6);

    b.firstInstance = b.bytes.size();
    for (std::size_t i = 0; i < idle.size(); ++i) {
        const std::int64_t value = idle[i];
        // Named "0" unless told otherwise; UTF-16 with its null, padded to 8 bytes.
        const std::u16string name = i < names.size() ? names[i] : u"0";
        const std::size_t nameBytes = 2 * (name.size() + 1), padded = (nameBytes + 7) / 8 * 8;
        PerfInstanceDefinition instance{};
        instance.ByteLength = static_cast<std::uint32_t>(sizeof instance + padded);
        instance.NameOffset = sizeof instance;
        instance.NameLength = static_cast<std::uint32_t>(nameBytes);
        b.Append(instance);
        for (std::size_t k = 0; k < padded / 2; ++k) b.Append(static_cast<std::uint16_t>(k < name.size() ? name[k] : 0));
        b.Append(PerfCounterBlock{24});
        b.Append(std::uint32_t{0});
        b.Append(value);                // counter 6
        b.Append(std::int64_t{-1});     // the other counter
    }
    b.Put(b.processor, static_cast<std::uint32_t>(b.bytes.size() - b.processor));
    b.Put(offsetof(PerfDataBlock, TotalByteLength), static_cast<std::uint32_t>(b.bytes.size()));
    return b;
}

constexpr PerfSystemTime kTime{2024, 5, 5, 17, 12, 0, 0, 0};

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const vexlo::Error& e) {
        return e.what();
    }
    return "";
}

TEST(PerfData, LoadIsTheShareOfNonIdleTimeBetweenTwoCollections) {
    ProcessorCounters counters;
    EXPECT_EQ(counters.Count(), -1);
    counters.Collect(MakePerfBuffer({1000, 5000, 9000}, kTime).Span());
    EXPECT_EQ(counters.Count(), 3);

    PerfSystemTime later = kTime;
    later.Second = 1;  // 10 000 000 ticks later
    counters.Collect(MakePerfBuffer({1000 + 2500000, 5000, 9000 + 10000000}, later).Span());
    EXPECT_DOUBLE_EQ(counters.UsageOf(0), 0.75);
    EXPECT_DOUBLE_EQ(counters.UsageOf(1), 1.0);
    EXPECT_DOUBLE_EQ(counters.UsageOf(2), 0.0);
    EXPECT_EQ(CpuUsagePercent(counters.UsageOf(0)), 75);
    EXPECT_EQ(ErrorOf([&] { counters.UsageOf(3); }), kCpuIndexOutOfBounds);
    EXPECT_EQ(ErrorOf([&] { counters.UsageOf(-1); }), kCpuIndexOutOfBounds);

    counters.Collect(MakePerfBuffer({0, 0, 0}, later).Span());  // same time stamp
    EXPECT_EQ(counters.UsageOf(0), 0.0);
    // The count stays as the first collection fixed it, though the object now has more.
    counters.Collect(MakePerfBuffer({0, 0, 0, 0}, kTime).Span());
    EXPECT_EQ(counters.Count(), 3);
}

TEST(PerfData, TheWholeMachineIsTheTotalInstanceNotInstanceZero) {
    ProcessorCounters counters;
    EXPECT_EQ(counters.TotalIndex(), -1);
    counters.Collect(MakePerfBuffer({0, 0, 0}, kTime, {u"0", u"1", u"_Total"}).Span());
    EXPECT_EQ(counters.TotalIndex(), 2);
    PerfSystemTime later = kTime;
    later.Second = 1;
    // The first processor idle a quarter of the time, the second all of it: the machine half.
    counters.Collect(MakePerfBuffer({2500000, 10000000, 5000000}, later, {u"0", u"1", u"_Total"}).Span());
    EXPECT_DOUBLE_EQ(counters.UsageOf(counters.TotalIndex()), 0.5);
    EXPECT_DOUBLE_EQ(counters.UsageOf(0), 0.75);

    ProcessorCounters noTotal;  // a system that lists no "_Total": none found
    noTotal.Collect(MakePerfBuffer({0, 0}, kTime, {u"0", u"_Tota"}).Span());
    EXPECT_EQ(noTotal.TotalIndex(), -1);
    const PerfBuffer b = MakePerfBuffer({0, 0}, kTime, {u"_Total", u"x"});
    const ProcessorObject object = FindProcessorObject(b.Span());
    EXPECT_EQ(FindInstanceNamed(b.Span(), object, 2, u"_Total"), 0);
    EXPECT_EQ(FindInstanceNamed(b.Span(), object, 2, u"x"), 1);
    EXPECT_EQ(FindInstanceNamed(b.Span(), object, 1, u"x"), -1);  // only the counted instances
    // A name that claims more room than its instance has names nothing.
    PerfBuffer lying = MakePerfBuffer({0}, kTime, {u"_Total"});
    lying.Put(lying.firstInstance + offsetof(PerfInstanceDefinition, NameLength), 0x1000u);
    EXPECT_EQ(FindInstanceNamed(lying.Span(), FindProcessorObject(lying.Span()), 1, u"_Total"), -1);
}

TEST(PerfData, TimeStampIsTheBlocksSystemTimeAsAFileTime) {
    std::int64_t t = 0;
    ASSERT_TRUE(SystemTimeToFileTime({1970, 1, 4, 1, 0, 0, 0, 0}, t));
    EXPECT_EQ(t, 116444736000000000);
    ASSERT_TRUE(SystemTimeToFileTime({2000, 2, 2, 29, 23, 59, 59, 999}, t));
    EXPECT_EQ(t, 125963423999990000);
    EXPECT_FALSE(SystemTimeToFileTime({1900, 2, 0, 29, 0, 0, 0, 0}, t));
}

TEST(PerfData, MissingObjectOrCounterGivesThePartsTexts) {
    std::vector<std::uint8_t> zeroed(8192, 0);  // a failed first read leaves the buffer zero
    ProcessorCounters counters;
    EXPECT_EQ(ErrorOf([&] { counters.Collect({zeroed.data(), zeroed.size()}); }), kNoProcessorObject);
    EXPECT_EQ(counters.Count(), -1);

    PerfBuffer noCounter = MakePerfBuffer({1, 2}, kTime);
    noCounter.Put(noCounter.counter6 + offsetof(PerfCounterDefinition, CounterNameTitleIndex), 7u);
    EXPECT_EQ(ErrorOf([&] { counters.Collect(noCounter.Span()); }), kNoProcessorTimeCounter);
    EXPECT_EQ(counters.Count(), 2);  // fixed before the counter was looked for
}

TEST(PerfData, ABufferThatLiesGivesAnErrorAndNoReadOutsideIt) {
    using Lie = std::function<void(PerfBuffer&)>;
    const std::size_t inst = MakePerfBuffer({1, 2}, kTime).firstInstance;
    const std::size_t block0 = inst + 32;
    const struct {
        const char* what;
        Lie lie;
        std::string_view error;
    } cases[] = {
        {"header beyond the buffer", [](PerfBuffer& b) { b.Put(24, 0x7FFFFFF0u); }, kNoProcessorObject},
        {"header inside itself", [](PerfBuffer& b) { b.Put(24, 20u); }, kNoProcessorObject},
        {"more objects than there are", [](PerfBuffer& b) {
             b.Put(28, 3u);
             b.Put(b.processor + offsetof(PerfObjectType, ObjectNameTitleIndex), 1u);
         }, kNoProcessorObject},
        {"object of length 0", [](PerfBuffer& b) { b.Put(96, 0u); }, kNoProcessorObject},
        {"definitions past the object", [](PerfBuffer& b) {
             b.Put(b.processor + offsetof(PerfObjectType, DefinitionLength), 0x10000u);
         }, kNoProcessorObject},
        {"more counters than defined", [](PerfBuffer& b) {
             b.Put(b.processor + offsetof(PerfObjectType, NumCounters), 0xFFFFFFFFu);
             b.Put(b.counter6 + offsetof(PerfCounterDefinition, CounterNameTitleIndex), 7u);
         }, kNoProcessorTimeCounter},
        {"counter of length 0", [](PerfBuffer& b) { b.Put(b.counter6 - 40, 0u); }, kNoProcessorTimeCounter},
        {"counter offset past its block", [](PerfBuffer& b) {
             b.Put(b.counter6 + offsetof(PerfCounterDefinition, CounterOffset), 0xFFFFFFFCu);
         }, kCannotReadPerfData},
        {"instance of length 0", [=](PerfBuffer& b) { b.Put(inst, 0u); }, kCannotReadPerfData},
        {"counter block past the object", [=](PerfBuffer& b) { b.Put(block0, 0x1000u); }, kCannotReadPerfData},
        {"more instances than fit", [](PerfBuffer& b) {
             b.Put(b.processor + offsetof(PerfObjectType, NumInstances), 0x7FFFFFFF);
         }, kCannotReadPerfData},
        {"buffer cut short", [](PerfBuffer& b) { b.bytes.resize(b.bytes.size() - 1); }, kNoProcessorObject},
        {"no valid date", [](PerfBuffer& b) { b.Put(offsetof(PerfDataBlock, SystemTime) + 2, std::uint16_t{13}); },
         kCannotReadPerfData},
    };
    for (const auto& c : cases) {
        PerfBuffer b = MakePerfBuffer({1, 2}, kTime);
        c.lie(b);
        b.bytes.shrink_to_fit();  // the sanitizer sees any read past the end
        ProcessorCounters counters;
        EXPECT_EQ(ErrorOf([&] { counters.Collect(b.Span()); }), c.error) << c.what;
    }

    // A failed collection leaves the last good values in place.
    ProcessorCounters counters;
    PerfSystemTime later = kTime;
    later.Second = 1;
    counters.Collect(MakePerfBuffer({0, 0}, kTime).Span());
    counters.Collect(MakePerfBuffer({5000000, 0}, later).Span());
    PerfBuffer broken = MakePerfBuffer({9, 9}, kTime);
    broken.Put(inst, 0u);
    EXPECT_FALSE(ErrorOf([&] { counters.Collect(broken.Span()); }).empty());
    EXPECT_DOUBLE_EQ(counters.UsageOf(0), 0.5);
}

TEST(PerfData, SystemTimesFallbackAndRounding) {
    // Kernel time includes idle time: busy = kernel + user - idle.
    EXPECT_DOUBLE_EQ(LoadBetween({100, 300, 100}, {400, 800, 300}), 400.0 / 700.0);
    EXPECT_EQ(LoadBetween({100, 300, 100}, {100, 300, 100}), 0.0);  // no time passed
    EXPECT_EQ(LoadBetween({100, 300, 100}, {50, 400, 200}), 0.0);   // went backwards
    SystemTimesMeter meter;
    EXPECT_EQ(meter.Sample({0, 1000, 0}), 0.0);  // nothing to compare with yet
    EXPECT_DOUBLE_EQ(meter.Sample({500, 2000, 1000}), 0.75);
    EXPECT_EQ(CpuUsagePercent(0.125), 13);    // half away from zero
    EXPECT_EQ(CpuUsagePercent(-0.125), -13);  // not clamped
    EXPECT_EQ(CpuUsagePercent(-1e30), INT32_MIN);
}

// ---- selection and keys ---------------------------------------------------------------

TEST(Selection, AdvancesThroughWindowsAndDesktopsAndWraps) {
    SwitcherSelection s;
    ASSERT_TRUE(s.Build({{2, false}, {0, false}, {3, true}, {1, false}}));
    std::vector<SwitchPosition> seen{*s.Current()};
    for (int i = 0; i < 6; ++i) {
        s.Advance();
        seen.push_back(*s.Current());
    }
    EXPECT_EQ(seen, (std::vector<SwitchPosition>{{2, 0}, {2, 1}, {2, 2}, {3, 0}, {0, 0}, {0, 1}, {2, 0}}));

    SwitcherSelection one;  // one desktop with windows wraps to its own first window
    ASSERT_TRUE(one.Build({{0, true}, {2, false}}));  // the current desktop has none
    EXPECT_EQ(*one.Current(), (SwitchPosition{1, 0}));
    one.Advance();
    one.Advance();
    EXPECT_EQ(*one.Current(), (SwitchPosition{1, 0}));

    SwitcherSelection none;  // no current desktop: the last one with windows
    ASSERT_TRUE(none.Build({{1, false}, {2, false}, {0, false}}));
    EXPECT_EQ(*none.Current(), (SwitchPosition{1, 0}));
    SwitcherSelection empty;
    EXPECT_FALSE(empty.Build({{0, true}, {0, false}}));
    EXPECT_FALSE(empty.Current());
}

TEST(Selection, ListNotificationsBuildingAndClosing) {
    SwitcherSelection s;
    s.Advance();  // Tabs while the window is built wait for it
    s.Advance();
    EXPECT_FALSE(s.Current());
    EXPECT_FALSE(s.RequestClose());  // Alt released meanwhile: closes once built
    EXPECT_FALSE(s.CloseDue());
    ASSERT_TRUE(s.Build({{2, true}, {2, false}}));
    EXPECT_EQ(*s.Current(), (SwitchPosition{1, 0}));
    EXPECT_TRUE(s.CloseDue());

    SwitcherSelection t;
    ASSERT_TRUE(t.Build({{2, true}, {3, false}}));
    t.OnItemChanged(1, 2);  // a click, a selection or a deselection
    EXPECT_EQ(*t.Current(), (SwitchPosition{1, 2}));
    t.OnItemChanged(1, 3);  // no such item
    t.OnItemChanged(5, 0);
    EXPECT_EQ(*t.Current(), (SwitchPosition{1, 2}));
    EXPECT_TRUE(t.RequestClose());
    EXPECT_TRUE(t.Closing());
    t.OnItemChanged(0, 0);  // ignored while closing
    t.Advance();
    EXPECT_EQ(*t.Current(), (SwitchPosition{1, 2}));
}

TEST(Keys, WindowsAndWineEventsGiveTheSameSwitcher) {
    using namespace keys;
    const struct {
        KeyEvent event;
        bool present;
        KeyAction action;
    } windows[] = {
        {{kWmSysKeyDown, kVkLMenu, kLlkhfAltDown}, false, KeyAction::PassOn},
        {{kWmSysKeyDown, kVkTab, kLlkhfAltDown}, false, KeyAction::ShowSwitcher},
        {{kWmSysKeyUp, kVkTab, kLlkhfAltDown}, true, KeyAction::Swallow},
        {{kWmSysKeyDown, kVkTab, kLlkhfAltDown}, true, KeyAction::Advance},
        {{kWmKeyDown, kVkTab, kLlkhfAltDown}, true, KeyAction::Swallow},  // Ctrl+Alt+Tab: no effect
        {{kWmSysKeyDown, kVkLShift, kLlkhfAltDown}, true, KeyAction::PassOn},
        {{kWmSysKeyDown, kVkTab, kLlkhfAltDown}, true, KeyAction::Back},  // Alt+Shift+Tab
        {{kWmSysKeyUp, kVkTab, kLlkhfAltDown}, true, KeyAction::Swallow},
        {{kWmSysKeyUp, kVkLShift, kLlkhfAltDown}, true, KeyAction::PassOn},
        {{kWmSysKeyDown, kVkTab, kLlkhfAltDown}, true, KeyAction::Advance},
        {{kWmKeyUp, kVkLMenu, 0x80}, true, KeyAction::CloseAndPassOn},
        {{kWmKeyDown, kVkTab, 0}, false, KeyAction::PassOn},
    }, wine[] = {  // no flag; Tab may come as a plain WM_KEYDOWN/WM_KEYUP
        {{kWmSysKeyDown, kVkLMenu, 0}, false, KeyAction::PassOn},
        {{kWmSysKeyDown, kVkTab, 0}, false, KeyAction::ShowSwitcher},
        {{kWmKeyUp, kVkTab, 0}, true, KeyAction::Swallow},
        {{kWmKeyDown, kVkTab, 0}, true, KeyAction::Advance},
        {{kWmKeyDown, kVkShift, 0}, true, KeyAction::PassOn},
        {{kWmKeyDown, kVkTab, 0}, true, KeyAction::Back},
        {{kWmKeyUp, kVkShift, 0}, true, KeyAction::PassOn},
        {{kWmKeyUp, kVkLMenu, 0}, true, KeyAction::CloseAndPassOn},
        {{kWmKeyDown, kVkTab, 0}, false, KeyAction::PassOn},
    };
    AltTabKeys w, x;
    for (const auto& k : windows) EXPECT_EQ(w.OnKey(k.event, k.present), k.action) << k.event.message;
    for (const auto& k : wine) EXPECT_EQ(x.OnKey(k.event, k.present), k.action) << k.event.message;
    EXPECT_FALSE(x.AltDown());
    EXPECT_FALSE(x.ShiftDown());

    EXPECT_EQ(CentredOrigin(1024, 640), 192);
    EXPECT_EQ(CentredOrigin(801, 640), 80);  // 80.5 -> 80
    EXPECT_EQ(CentredOrigin(803, 640), 82);  // 81.5 -> 82
}

// The real key states a test gives the hook, as GetAsyncKeyState would.
bool g_realAlt = false, g_realShift = false;
bool RealState(std::uint32_t vk) { return vk == keys::kVkMenu ? g_realAlt : vk == keys::kVkShift ? g_realShift : false; }

TEST(Keys, ShiftOpensBackwardsAndEscapeCancelsWithoutActivating) {
    using namespace keys;
    AltTabKeys k;
    g_realAlt = g_realShift = true;
    EXPECT_EQ(k.OnKey({kWmSysKeyDown, kVkLMenu, kLlkhfAltDown}, false, &RealState), KeyAction::PassOn);
    EXPECT_EQ(k.OnKey({kWmSysKeyDown, kVkRShift, kLlkhfAltDown}, false, &RealState), KeyAction::PassOn);
    EXPECT_EQ(k.OnKey({kWmSysKeyDown, kVkTab, kLlkhfAltDown}, false, &RealState), KeyAction::ShowSwitcherBackward);
    EXPECT_EQ(k.OnKey({kWmSysKeyUp, kVkTab, kLlkhfAltDown}, true, &RealState), KeyAction::Swallow);
    // Escape with Alt held: cancelled and swallowed, its key-up too; then Alt's release
    // finds no switcher (the hook counts it gone) and is just passed on.
    EXPECT_EQ(k.OnKey({kWmSysKeyDown, kVkEscape, kLlkhfAltDown}, true, &RealState), KeyAction::Cancel);
    EXPECT_EQ(k.OnKey({kWmSysKeyUp, kVkEscape, kLlkhfAltDown}, false, &RealState), KeyAction::Swallow);
    EXPECT_EQ(k.OnKey({kWmKeyUp, kVkLMenu, 0x80}, false, &RealState), KeyAction::PassOn);
    EXPECT_TRUE(k.MaskBeforeRelease());  // keys were swallowed: no lone Alt tap
    // The mask key's own events pass untouched; a lone Alt tap, or Alt with keys that all
    // passed on, needs no mask.
    EXPECT_EQ(k.OnKey({kWmSysKeyDown, kVkMask, kLlkhfAltDown | kLlkhfInjected}, false, &RealState), KeyAction::PassOn);
    EXPECT_FALSE(k.MaskBeforeRelease());
    k.OnKey({kWmSysKeyDown, kVkLMenu, kLlkhfAltDown}, false, &RealState);
    k.OnKey({kWmSysKeyDown, 'A', kLlkhfAltDown}, false, &RealState);
    k.OnKey({kWmKeyUp, kVkLMenu, 0x80}, false, &RealState);
    EXPECT_FALSE(k.MaskBeforeRelease());
    // Released with the switcher shown: closed, with the mask before the release.
    k.OnKey({kWmSysKeyDown, kVkLMenu, kLlkhfAltDown}, false, &RealState);
    k.OnKey({kWmSysKeyDown, kVkTab, kLlkhfAltDown}, false, &RealState);
    EXPECT_EQ(k.OnKey({kWmKeyUp, kVkLMenu, 0x80}, true, &RealState), KeyAction::CloseAndPassOn);
    EXPECT_TRUE(k.MaskBeforeRelease());
    // Escape with Alt held but no switcher is the system's (Alt+Esc); without Alt it closes.
    AltTabKeys e;
    EXPECT_EQ(e.OnKey({kWmSysKeyDown, kVkEscape, kLlkhfAltDown}, false, &RealState), KeyAction::PassOn);
    EXPECT_EQ(e.OnKey({kWmKeyDown, kVkEscape, 0}, true, &RealState), KeyAction::CloseAndPassOn);
    EXPECT_EQ(e.OnKey({kWmKeyUp, kVkEscape, 0x80}, false, &RealState), KeyAction::PassOn);
}

TEST(Keys, ARecordOfAltDownIsConfirmedWithTheKeysRealStateAndReset) {
    using namespace keys;
    // Alt went down, then up while the hook was off (or busy, or on another desktop): the
    // record still says down. Events with the flag or a WM_SYS* message speak for
    // themselves; a plain Tab is checked, found up, and passed on, every time.
    AltTabKeys k;
    g_realAlt = true;
    k.OnKey({kWmSysKeyDown, kVkLMenu, 0}, false, &RealState);
    ASSERT_TRUE(k.AltDown());
    g_realAlt = false;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(k.OnKey({kWmKeyDown, kVkTab, 0}, false, &RealState), KeyAction::PassOn) << i;
        EXPECT_EQ(k.OnKey({kWmKeyUp, kVkTab, 0x80}, false, &RealState), KeyAction::PassOn) << i;
    }
    EXPECT_FALSE(k.AltDown());
    // Confirmed while the key is really down (Wine's plain WM_KEYDOWN for Tab).
    AltTabKeys held;
    g_realAlt = true;
    held.OnKey({kWmSysKeyDown, kVkLMenu, 0}, false, &RealState);
    EXPECT_EQ(held.OnKey({kWmKeyDown, kVkTab, 0}, false, &RealState), KeyAction::ShowSwitcher);
    // A Shift whose release went past the hook does not turn Tabs backwards.
    g_realShift = false;
    AltTabKeys shift;
    shift.OnKey({kWmSysKeyDown, kVkShift, kLlkhfAltDown}, false, &RealState);
    EXPECT_EQ(shift.OnKey({kWmSysKeyDown, kVkTab, kLlkhfAltDown}, false, &RealState), KeyAction::ShowSwitcher);
    // The record is forgotten when the hook is installed or removed.
    AltTabKeys reset;
    reset.OnKey({kWmSysKeyDown, kVkLMenu, 0}, false, nullptr);
    reset.OnKey({kWmKeyDown, kVkShift, 0}, false, nullptr);
    reset.Reset();
    EXPECT_FALSE(reset.AltDown());
    EXPECT_FALSE(reset.ShiftDown());
    EXPECT_EQ(reset.OnKey({kWmKeyDown, kVkTab, 0}, false, nullptr), KeyAction::PassOn);
}

TEST(Keys, ProductDesktopNames) {
    EXPECT_TRUE(IsProductDesktopName("Default"));
    EXPECT_TRUE(IsProductDesktopName("Vexlo_2001"));
    EXPECT_TRUE(IsProductDesktopName("Vexlo_-7"));
    EXPECT_FALSE(IsProductDesktopName("Vexlo_"));
    EXPECT_FALSE(IsProductDesktopName("Vexlo_-"));
    EXPECT_FALSE(IsProductDesktopName("Vexlo_12a"));
    EXPECT_FALSE(IsProductDesktopName("Winlogon"));
    EXPECT_FALSE(IsProductDesktopName("default"));
    EXPECT_FALSE(IsProductDesktopName("Vexlo_12345678901234567890"));
}

TEST(Selection, BackwardsIsTheExactReverseAndShiftOpensOneBefore) {
    SwitcherSelection s;
    ASSERT_TRUE(s.Build({{2, false}, {0, false}, {3, true}, {1, false}}));
    std::vector<SwitchPosition> seen{*s.Current()};
    for (int i = 0; i < 6; ++i) {
        s.Back();
        seen.push_back(*s.Current());
    }
    EXPECT_EQ(seen, (std::vector<SwitchPosition>{{2, 0}, {0, 1}, {0, 0}, {3, 0}, {2, 2}, {2, 1}, {2, 0}}));
    s.Advance();
    s.Back();
    EXPECT_EQ(*s.Current(), (SwitchPosition{2, 0}));

    // Opened with Alt+Shift+Tab: one before the first item, wrapping to the end.
    SwitcherSelection shifted;
    shifted.Back();
    ASSERT_TRUE(shifted.Build({{3, true}, {2, false}}));
    EXPECT_EQ(*shifted.Current(), (SwitchPosition{1, 1}));
    SwitcherSelection one;  // one desktop: its own last window
    one.Back();
    ASSERT_TRUE(one.Build({{3, true}}));
    EXPECT_EQ(*one.Current(), (SwitchPosition{0, 2}));
    SwitcherSelection mixed;  // steps before the build count in order
    mixed.Advance();
    mixed.Advance();
    mixed.Back();
    EXPECT_EQ(mixed.PendingSteps(), 1);
    ASSERT_TRUE(mixed.Build({{3, true}}));
    EXPECT_EQ(*mixed.Current(), (SwitchPosition{0, 1}));
}

TEST(Selection, CancelBeforeOrAfterTheBuildAndItsOrderWithClose) {
    SwitcherSelection early;  // Escape while the window is built: goes unshown
    EXPECT_FALSE(early.RequestCancel());
    EXPECT_FALSE(early.RequestClose());  // Alt's release after it changes nothing
    ASSERT_TRUE(early.Build({{2, true}}));
    EXPECT_TRUE(early.CancelDue());
    EXPECT_FALSE(early.CloseDue());
    EXPECT_TRUE(early.RequestCancel());
    EXPECT_TRUE(early.Cancelled());

    SwitcherSelection shown;
    ASSERT_TRUE(shown.Build({{2, true}}));
    EXPECT_TRUE(shown.RequestCancel());
    EXPECT_TRUE(shown.Closing());
    EXPECT_TRUE(shown.Cancelled());
    EXPECT_FALSE(shown.RequestClose());  // already going, without activation
    shown.Advance();
    EXPECT_EQ(*shown.Current(), (SwitchPosition{0, 0}));

    SwitcherSelection closed;
    ASSERT_TRUE(closed.Build({{2, true}}));
    EXPECT_TRUE(closed.RequestClose());
    EXPECT_FALSE(closed.RequestCancel());
    EXPECT_FALSE(closed.Cancelled());
}

// ---- listed windows and texts ---------------------------------------------------------

TEST(Apps, QualificationRules) {
    // Z order: a dialog over its owner, a hidden window, the owner itself, another app.
    EXPECT_EQ(RootOwnersToRecord({{11, 10, true}, {20, 20, false}, {10, 10, true}, {30, 30, true},
                                  {12, 10, true}}),
              (std::vector<WindowId>{10, 30}));
    const AppWindowFacts app{42, true, true, "Notepad", 0};
    const auto qualifies = [&](const std::function<void(AppWindowFacts&)>& change) {
        AppWindowFacts f = app;
        change(f);
        return QualifiesAsApp(f, 7);
    };
    EXPECT_TRUE(qualifies([](AppWindowFacts&) {}));
    EXPECT_FALSE(qualifies([](AppWindowFacts& f) { f.processId = 7; }));  // the calling process
    EXPECT_FALSE(qualifies([](AppWindowFacts& f) { f.processId = 0; }));  // vanished
    EXPECT_FALSE(qualifies([](AppWindowFacts& f) { f.processListed = false; }));
    // A visible dialog of a hidden owner: the record is the owner's, and the owner decides.
    EXPECT_FALSE(qualifies([](AppWindowFacts& f) { f.visible = false; }));
    EXPECT_FALSE(qualifies([](AppWindowFacts& f) { f.title = ""; }));
    EXPECT_FALSE(qualifies([](AppWindowFacts& f) { f.exStyle = 0x80 | 0x8; }));  // tool window
    EXPECT_FALSE(qualifies([](AppWindowFacts& f) { f.cloaked = true; }));  // another virtual desktop's
    EXPECT_FALSE(qualifies([](AppWindowFacts& f) { f.shellWindow = true; }));  // "Program Manager"
}

TEST(Texts, LongTextsEndWithAnEllipsisWhereTheyDoNotFit) {
    const auto width = [](std::string_view s) { return static_cast<int>(s.size()) * 6; };  // 6 px a character
    EXPECT_EQ(FitWithEllipsis("Notepad", 42, width), "Notepad");
    EXPECT_EQ(FitWithEllipsis("Notepad", 41, width), "Not...");  // 6 characters of room
    EXPECT_EQ(FitWithEllipsis("Untitled - Notepad", 72, width), "Untitled...");  // no blank before the dots
    EXPECT_EQ(FitWithEllipsis("Notepad", 12, width), "..");
    EXPECT_EQ(FitWithEllipsis("Notepad", 0, width), "");
    const std::string title(300, 'W');
    const std::string fitted = FitWithEllipsis(title, 185, width);
    EXPECT_LE(width(fitted), 185);
    EXPECT_GT(width(fitted), 185 - 6);
    EXPECT_EQ(fitted.substr(fitted.size() - 3), "...");
}

TEST(Texts, MemoryPriorityAndMemoryFigures) {
    EXPECT_EQ(MemoryText(1234567), "1 234 567 bytes");
    EXPECT_EQ(MemoryText(0), "0 bytes");
    EXPECT_EQ(MemoryText(1000), "1 000 bytes");
    EXPECT_EQ(MemoryText(4294967295u), "4 294 967 295 bytes");
    EXPECT_EQ(PriorityClassName(0x20), "Normal");
    EXPECT_EQ(PriorityClassName(0x100), "Realtime");
    EXPECT_EQ(PriorityClassName(0x4000), "");  // below normal
    EXPECT_EQ(PriorityClassName(0), "");       // a failed query
    const DetailTexts d = MakeDetailTexts("Work", "Notepad", "NOTEPAD.EXE", 4000000000u, 2048, 0x80);
    EXPECT_EQ(d.pid, "4000000000");
    EXPECT_EQ(d.memory, "2 048 bytes");
    EXPECT_EQ(d.priority, "High");

    MemoryStatus s;
    s.MemoryLoad = 0x1FF;
    s.TotalPhys = 3u << 30;  // 3 GB reads as negative
    s.TotalPageFile = 800, s.AvailPageFile = 100;
    const MemoryFigures m = MemoryFiguresFrom(s);
    EXPECT_EQ(m.MemoryLoad, 0xFF);
    EXPECT_LT(m.PhysicalTotal, 0);
    EXPECT_EQ(m.SwapFileSize, 700);
    EXPECT_EQ(m.SwapUsage, 88);  // 12.5 -> 12
    EXPECT_EQ(SwapUsagePercent(300, 800), 62);  // 37.5 -> 38
    EXPECT_EQ(SwapUsagePercent(5, 0), 0);
}

TEST(Texts, MemoryFiguresAbove4GbComeFromTheExtendedStatus) {
    // 16 GB of memory, 24 GB of commit limit, 6 GB of it free: GlobalMemoryStatus cannot
    // tell these; GlobalMemoryStatusEx can.
    MemoryStatusEx s;
    s.MemoryLoad = 40;
    s.TotalPhys = 16ull << 30;
    s.AvailPhys = 3ull << 30;
    s.TotalPageFile = 24ull << 30;
    s.AvailPageFile = 6ull << 30;
    s.TotalVirtual = 2ull << 30;
    s.AvailVirtual = 1ull << 30;
    const MemoryFigures m = MemoryFiguresFrom(s);
    EXPECT_EQ(m.MemoryLoad, 40);
    EXPECT_EQ(m.SwapUsage, 75);  // 25 % free
    EXPECT_EQ(m.PhysicalTotal, -1);  // 32 bits cannot hold it
    EXPECT_EQ(m.PhysicalFree, static_cast<std::int32_t>(3u << 30));  // bit for bit: negative
    EXPECT_EQ(m.VirtualTotal, static_cast<std::int32_t>(2u << 30));
    EXPECT_EQ(m.SwapFileSize, -1);
    EXPECT_EQ(m.PhysicalTotalBytes, 16ull << 30);
    EXPECT_EQ(m.PageFileFreeBytes, 6ull << 30);
    // Below 4 GB both give the same figures.
    MemoryStatus small;
    small.MemoryLoad = 40;
    small.TotalPageFile = 800, small.AvailPageFile = 100;
    MemoryStatusEx same;
    same.MemoryLoad = 40;
    same.TotalPageFile = 800, same.AvailPageFile = 100;
    EXPECT_EQ(MemoryFiguresFrom(same).SwapUsage, MemoryFiguresFrom(small).SwapUsage);
    EXPECT_EQ(MemoryFiguresFrom(same).SwapFileSize, 700);
}

}  // namespace
