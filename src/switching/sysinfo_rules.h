#pragma once
// The arithmetic of TvxSysInfo without Win32: the NT processor counters with
// Count and UsageOf, the load from GetSystemTimes where the performance data has no
// "Processor" object (as under Wine), the rounding of CPUUsage, and TMemory's fields.
//
// The switcher's chart takes the whole machine's load from GetSystemTimes wherever it
// exists (Windows XP SP1 and later, and Wine); only systems without it read the performance
// data, and then its "_Total" instance (ProcessorCounters::TotalIndex): instance 0 is the
// first processor, not the machine.
//
// How TCPUUsage wires them (Win32 side):
//   Collect (NT):  read "238" into its buffer, then counters.Collect(buffer);
//   Count (NT):    Collect first while counters.Count() is -1, then counters.Count();
//   UsageOf (NT):  the same, then counters.UsageOf(index);
//   UsageOf (9x):  index other than 0 -> kCpuIndexOutOfBounds; raw usage / 100;
//   Update:        Collect; CPUUsage := CpuUsagePercent(UsageOf(ProcessorIndex)).
// The 100 ms timer feeds SystemTimesMeter with GetSystemTimes on every tick; where that
// function is missing it runs Update on the "_Total" instance instead.
#include <cstdint>
#include <optional>
#include <vector>

#include "switching/perf_data.h"

namespace vexlo::switching {

// TCPUUsage's NT state: the instance count (-1 until the first collection, then fixed),
// current and previous counter values, current and previous time stamps.
class ProcessorCounters {
public:
    // Finds the Processor object and reads its counters from a buffer read from "238". Throws the walk's texts. The first
    // collection that finds the Processor object fixes the instance count even when it then
    // fails on the counter; a failed collection leaves values and time stamps as they were.
    void Collect(ByteSpan buffer);

    int Count() const { return count_; }
    // The "_Total" instance (the whole machine; Windows lists it last) among the instances
    // that the first collection counted; -1 before it or when none has that name.
    int TotalIndex() const { return totalIndex_; }
    // 1 - (idle delta / time delta) for an instance: the share of non-idle time between the
    // last two collections; 0 when both time stamps are equal. Not clamped. Throws
    // kCpuIndexOutOfBounds for an index outside 0 .. Count() - 1 (always, before the first
    // collection: the caller collects first, as UsageOf does).
    double UsageOf(int index) const;

private:
    int count_ = -1;
    int totalIndex_ = -1;
    std::vector<std::int64_t> current_, previous_;
    std::int64_t currentTime_ = 0, previousTime_ = 0;
};

// CPUUsage from a load fraction: × 100, to the nearest whole number (a half away from zero),
// not clamped; beyond the 32-bit range it stops at the range's ends.
std::int32_t CpuUsagePercent(double fraction);

// GetSystemTimes' three figures, each a FILETIME as a 64-bit count of 100 ns. Kernel time
// includes idle time.
struct SystemTimes {
    std::uint64_t idle = 0, kernel = 0, user = 0;
};

// The load between two readings as a fraction 0 .. 1: (kernel + user - idle) / (kernel +
// user), over the deltas. 0 when no time passed or a figure went backwards.
double LoadBetween(const SystemTimes& before, const SystemTimes& after);

// Keeps the previous reading: each Sample gives the load since the one before; the first 0.
class SystemTimesMeter {
public:
    double Sample(const SystemTimes& now);

private:
    std::optional<SystemTimes> last_;
};

// MEMORYSTATUS, as GlobalMemoryStatus fills it (32 bytes, all 32-bit).
struct MemoryStatus {
    std::uint32_t Length = 32;
    std::uint32_t MemoryLoad = 0;
    std::uint32_t TotalPhys = 0, AvailPhys = 0;
    std::uint32_t TotalPageFile = 0, AvailPageFile = 0;
    std::uint32_t TotalVirtual = 0, AvailVirtual = 0;
};
static_assert(sizeof(MemoryStatus) == 32, "MEMORYSTATUS is 32 bytes");

// MEMORYSTATUSEX, as GlobalMemoryStatusEx fills it: the same figures in 64 bits.
// GlobalMemoryStatus cannot tell more than 4 GB (it gives wrong figures then), so TMemory
// reads this one wherever the system has it.
struct MemoryStatusEx {
    std::uint32_t MemoryLoad = 0;
    std::uint64_t TotalPhys = 0, AvailPhys = 0;
    std::uint64_t TotalPageFile = 0, AvailPageFile = 0;
    std::uint64_t TotalVirtual = 0, AvailVirtual = 0;
};

// TMemory's fields, in its order. Byte counts are the unsigned figures stored bit for bit
// (2 GB or more reads as negative); figures of 4 GB or more, which 32 bits cannot hold,
// read 0xFFFFFFFF (-1). The exact 64-bit figures follow the record's fields.
struct MemoryFigures {
    std::uint8_t MemoryLoad = 0;
    std::int32_t PhysicalTotal = 0, PhysicalFree = 0;
    std::int32_t PageFileTotal = 0, PageFileFree = 0;
    std::int32_t VirtualTotal = 0, VirtualFree = 0;
    std::int32_t SwapFileSize = 0;
    std::int32_t SwapUsage = 0;
    std::uint64_t PhysicalTotalBytes = 0, PhysicalFreeBytes = 0;
    std::uint64_t PageFileTotalBytes = 0, PageFileFreeBytes = 0;
    std::uint64_t VirtualTotalBytes = 0, VirtualFreeBytes = 0;
};

// What TMemory.Update stores, from GlobalMemoryStatus or GlobalMemoryStatusEx. SwapUsage
// and the exact figures come from the full figures.
MemoryFigures MemoryFiguresFrom(const MemoryStatus& status);
MemoryFigures MemoryFiguresFrom(const MemoryStatusEx& status);

// 100 - round-half-even(avail / total × 100). A total of 0 (left to the implementer) gives 0.
std::int32_t SwapUsagePercent(std::uint64_t availPageFile, std::uint64_t totalPageFile);

}  // namespace vexlo::switching
