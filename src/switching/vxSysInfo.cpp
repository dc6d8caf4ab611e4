#include "switching/vxSysInfo.h"

#include <algorithm>
#include <atomic>

#include <string>

#include "shared/error.h"
#include "shared/guard.h"
#include "shared/system_function.h"
#include "switching/perf_data.h"

namespace vexlo::switching {

namespace {

[[noreturn]] void Fail(std::string_view text) { throw Error(std::string(text)); }

bool IsNtPlatform() {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    return !GetVersionExA(&v) || v.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

constexpr char kCpuUsageValue[] = "KERNEL\\CPUUsage";

bool ReadUsage(HKEY key, std::uint32_t& value) {
    DWORD size = sizeof value, type = 0;
    std::uint32_t read = 0;
    if (RegQueryValueExA(key, kCpuUsageValue, nullptr, &type, reinterpret_cast<BYTE*>(&read), &size) != ERROR_SUCCESS)
        return false;
    value = read;
    return true;
}

std::uint64_t FromFiletime(const FILETIME& t) { return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; }

using GlobalMemoryStatusExFn = BOOL(WINAPI*)(MEMORYSTATUSEX*);
using GetSystemTimesFn = BOOL(WINAPI*)(FILETIME*, FILETIME*, FILETIME*);

}  // namespace

void TMemory::Update() {
    // GlobalMemoryStatus gives wrong figures above 4 GB (of memory or of page file), so
    // GlobalMemoryStatusEx is read wherever the system has it (Windows 2000 and later).
    static const auto statusEx = SystemFunction<GlobalMemoryStatusExFn>("kernel32.dll", "GlobalMemoryStatusEx");
    if (statusEx) {
        MEMORYSTATUSEX ex{};
        ex.dwLength = sizeof ex;
        if (statusEx(&ex)) {
            f_ = MemoryFiguresFrom(MemoryStatusEx{ex.dwMemoryLoad, ex.ullTotalPhys, ex.ullAvailPhys,
                                                  ex.ullTotalPageFile, ex.ullAvailPageFile, ex.ullTotalVirtual,
                                                  ex.ullAvailVirtual});
            return;
        }
    }
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    MemoryStatus s;
    s.MemoryLoad = status.dwMemoryLoad;
    s.TotalPhys = static_cast<std::uint32_t>(status.dwTotalPhys);
    s.AvailPhys = static_cast<std::uint32_t>(status.dwAvailPhys);
    s.TotalPageFile = static_cast<std::uint32_t>(status.dwTotalPageFile);
    s.AvailPageFile = static_cast<std::uint32_t>(status.dwAvailPageFile);
    s.TotalVirtual = static_cast<std::uint32_t>(status.dwTotalVirtual);
    s.AvailVirtual = static_cast<std::uint32_t>(status.dwAvailVirtual);
    f_ = MemoryFiguresFrom(s);
}

TCPUUsage::TCPUUsage() : isNT_(IsNtPlatform()) {}

TCPUUsage::~TCPUUsage() {
    StopMonitoring();
    // Held open while collecting: closing HKEY_PERFORMANCE_DATA unloads the performance
    // libraries, which every later read would have to load again.
    if (perfDataOpen_) RegCloseKey(HKEY_PERFORMANCE_DATA);
}

int TCPUUsage::TotalIndex() {
    if (!isNT_) return 0;
    if (counters_.Count() < 0) Collect();
    return counters_.TotalIndex();
}

void TCPUUsage::CollectNT() {
    DWORD size = static_cast<DWORD>(buffer_.size());
    LONG rc;
    // The system answers ERROR_MORE_DATA for as long as the buffer is too small, and a
    // system with very many processors or a broken performance library may never stop:
    // the buffer doubles up to a ceiling, and reaching it is a failed read.
    constexpr std::size_t kMostPerfDataBytes = 4 * 1024 * 1024;
    for (;;) {
        size = static_cast<DWORD>(buffer_.size());
        rc = RegQueryValueExA(HKEY_PERFORMANCE_DATA, "238", nullptr, nullptr, buffer_.data(), &size);
        if (rc != ERROR_MORE_DATA || buffer_.size() >= kMostPerfDataBytes) break;
        buffer_.resize(std::min(buffer_.size() * 2 + 4096, kMostPerfDataBytes));
    }
    // The key stays open until the component goes (the destructor closes it).
    perfDataOpen_ = true;
    // A failed read names no Processor object: the chart shows no processor load, as
    // where the system has no such object.
    const std::size_t used = rc == ERROR_SUCCESS && size <= buffer_.size() ? size : 0;
    counters_.Collect(ByteSpan{buffer_.data(), used});
}

void TCPUUsage::Collect9x() {
    if (!started_) {
        HKEY start = nullptr;
        if (RegOpenKeyExA(HKEY_DYN_DATA, "PerfStats\\StartStat", 0, KEY_ALL_ACCESS, &start) != ERROR_SUCCESS)
            Fail(kCannotStartMonitoring);
        UniqueHkey startKey(start);
        ReadUsage(startKey.get(), rawUsage_);
        startKey.reset();
        HKEY data = nullptr;
        if (RegOpenKeyExA(HKEY_DYN_DATA, "PerfStats\\StatData", 0, KEY_READ, &data) != ERROR_SUCCESS)
            Fail(kCannotReadPerfData);
        statistics_.reset(data);
        started_ = true;
    }
    ReadUsage(statistics_.get(), rawUsage_);
}

void TCPUUsage::Collect() {
    if (isNT_) CollectNT();
    else Collect9x();
}

int TCPUUsage::Count() {
    if (!isNT_) return 1;
    if (counters_.Count() < 0) Collect();
    return counters_.Count();
}

double TCPUUsage::UsageOf(int index) {
    if (isNT_) {
        if (counters_.Count() < 0) Collect();
        return counters_.UsageOf(index);
    }
    if (index != 0) Fail(kCpuIndexOutOfBounds);
    if (!started_) Collect();
    return rawUsage_ / 100.0;
}

void TCPUUsage::Update() {
    Collect();
    CPUUsage = CpuUsagePercent(UsageOf(ProcessorIndex));
}

void TCPUUsage::StopMonitoring() noexcept {
    if (isNT_ || !started_) return;
    started_ = false;
    statistics_.reset();
    HKEY stop = nullptr;
    if (RegOpenKeyExA(HKEY_DYN_DATA, "PerfStats\\StopStat", 0, KEY_ALL_ACCESS, &stop) == ERROR_SUCCESS) {
        UniqueHkey stopKey(stop);
        std::uint32_t ignored = 0;
        ReadUsage(stopKey.get(), ignored);
    }
}

std::int32_t TvxSysInfo::SampleCpuPercent() {
    // One source for the whole machine, on Windows and Wine alike: GetSystemTimes (XP SP1
    // and later) counts the time of every processor. Where it exists the performance data
    // is not read at all; it is read every tick only on systems without it.
    static const auto getSystemTimes = SystemFunction<GetSystemTimesFn>("kernel32.dll", "GetSystemTimes");
    if (getSystemTimes) {
        FILETIME idle{}, kernel{}, user{};
        if (getSystemTimes(&idle, &kernel, &user))
            CPUUsage.CPUUsage = CpuUsagePercent(meter_.Sample({FromFiletime(idle), FromFiletime(kernel), FromFiletime(user)}));
        return CPUUsage.CPUUsage;
    }
    // The performance data: instance 0 of the Processor object is the first processor, not
    // the machine; "_Total" is. Performance data that could not give the load once will not
    // give it later in this process (its objects do not change), and asking costs
    // milliseconds every tick: after the first failure (written to the debugger output)
    // the chart shows 0.
    static std::atomic<bool> perfDataFailed{false};
    if (!perfDataFailed.load(std::memory_order_relaxed)) {
        try {
            if (const int total = CPUUsage.TotalIndex(); total >= 0) CPUUsage.ProcessorIndex = total;
            CPUUsage.Update();
            return CPUUsage.CPUUsage;
        } catch (const std::bad_alloc&) {
            throw;
        } catch (...) {
            ReportCaught("processor load", CurrentExceptionText());
            perfDataFailed.store(true, std::memory_order_relaxed);
        }
    }
    CPUUsage.CPUUsage = 0;
    return CPUUsage.CPUUsage;
}

}  // namespace vexlo::switching
