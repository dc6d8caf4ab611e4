#include "switching/sysinfo_rules.h"

#include <cmath>
#include <string>

#include "shared/error.h"
#include "switching/rounding.h"

namespace vexlo::switching {

namespace {

// Signed 64-bit difference that wraps instead of overflowing (counters come from outside).
std::int64_t WrappingDifference(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}

}  // namespace

void ProcessorCounters::Collect(ByteSpan buffer) {
    const ProcessorObject object = FindProcessorObject(buffer);
    if (count_ < 0) {
        count_ = InstanceCountOf(buffer, object);
        current_.assign(static_cast<std::size_t>(count_), 0);
        previous_.assign(static_cast<std::size_t>(count_), 0);
        // A name that cannot be read names no instance; the sample below says what is wrong.
        try {
            totalIndex_ = FindInstanceNamed(buffer, object, count_, u"_Total");
        } catch (const Error&) {
            totalIndex_ = -1;
        }
    }
    ProcessorSample sample = ReadProcessorSample(buffer, object, count_);
    previous_.swap(current_);
    current_ = std::move(sample.idleTimes);
    previousTime_ = currentTime_;
    currentTime_ = sample.timeStamp;
}

double ProcessorCounters::UsageOf(int index) const {
    if (index < 0 || index >= count_) throw Error(std::string(kCpuIndexOutOfBounds));
    if (currentTime_ == previousTime_) return 0.0;
    const std::size_t i = static_cast<std::size_t>(index);
    const double idle = static_cast<double>(WrappingDifference(current_[i], previous_[i]));
    const double time = static_cast<double>(WrappingDifference(currentTime_, previousTime_));
    return 1.0 - idle / time;
}

std::int32_t CpuUsagePercent(double fraction) { return SaturateToInt32(std::round(fraction * 100.0)); }

double LoadBetween(const SystemTimes& before, const SystemTimes& after) {
    if (after.idle < before.idle || after.kernel < before.kernel || after.user < before.user)
        return 0.0;
    const double idle = static_cast<double>(after.idle - before.idle);
    const double total = static_cast<double>(after.kernel - before.kernel) +
                         static_cast<double>(after.user - before.user);
    if (total <= 0.0) return 0.0;
    const double busy = total - idle;
    return busy <= 0.0 ? 0.0 : busy / total;
}

double SystemTimesMeter::Sample(const SystemTimes& now) {
    const double load = last_ ? LoadBetween(*last_, now) : 0.0;
    last_ = now;
    return load;
}

namespace {

// A byte count in a 32-bit field: bit for bit, or all ones when 32 bits cannot hold it.
std::int32_t Field32(std::uint64_t bytes) {
    return static_cast<std::int32_t>(bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(bytes));
}

}  // namespace

MemoryFigures MemoryFiguresFrom(const MemoryStatus& s) {
    // 32-bit figures are stored bit for bit either way; only the swap size keeps the
    // 32-bit subtraction the record has always had.
    MemoryFigures m = MemoryFiguresFrom(MemoryStatusEx{s.MemoryLoad, s.TotalPhys, s.AvailPhys, s.TotalPageFile,
                                                       s.AvailPageFile, s.TotalVirtual, s.AvailVirtual});
    m.SwapFileSize = static_cast<std::int32_t>(s.TotalPageFile - s.AvailPageFile);
    return m;
}

MemoryFigures MemoryFiguresFrom(const MemoryStatusEx& s) {
    MemoryFigures m;
    m.MemoryLoad = static_cast<std::uint8_t>(s.MemoryLoad);
    m.PhysicalTotal = Field32(s.TotalPhys);
    m.PhysicalFree = Field32(s.AvailPhys);
    m.VirtualTotal = Field32(s.TotalVirtual);
    m.VirtualFree = Field32(s.AvailVirtual);
    m.PageFileTotal = Field32(s.TotalPageFile);
    m.PageFileFree = Field32(s.AvailPageFile);
    m.SwapFileSize = Field32(s.TotalPageFile >= s.AvailPageFile ? s.TotalPageFile - s.AvailPageFile : 0);
    m.SwapUsage = SwapUsagePercent(s.AvailPageFile, s.TotalPageFile);
    m.PhysicalTotalBytes = s.TotalPhys;
    m.PhysicalFreeBytes = s.AvailPhys;
    m.PageFileTotalBytes = s.TotalPageFile;
    m.PageFileFreeBytes = s.AvailPageFile;
    m.VirtualTotalBytes = s.TotalVirtual;
    m.VirtualFreeBytes = s.AvailVirtual;
    return m;
}

std::int32_t SwapUsagePercent(std::uint64_t availPageFile, std::uint64_t totalPageFile) {
    if (totalPageFile == 0) return 0;
    const double freeShare = static_cast<double>(availPageFile) / static_cast<double>(totalPageFile) * 100.0;
    return SaturateToInt32(100.0 - RoundHalfEven(freeShare));
}

}  // namespace vexlo::switching
