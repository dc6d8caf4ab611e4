#pragma once
// TvxSysInfo: samples the machine's memory status and processor load. The arithmetic
// and the walk over the performance data are in sysinfo_rules/perf_data; this is the
// Win32 side that reads the figures.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "shared/handles.h"
#include "switching/sysinfo_rules.h"

namespace vexlo::switching {

class TMemory {
public:
    void Update();
    const MemoryFigures& Figures() const { return f_; }
    std::uint8_t MemoryLoad() const { return f_.MemoryLoad; }
    std::int32_t SwapUsage() const { return f_.SwapUsage; }

private:
    MemoryFigures f_;
};

class TCPUUsage {
public:
    TCPUUsage();
    ~TCPUUsage();
    TCPUUsage(const TCPUUsage&) = delete;
    TCPUUsage& operator=(const TCPUUsage&) = delete;

    // Each raises the library's error with one of the five texts of perf_data.h.
    void Update();
    void Collect();
    double UsageOf(int index);
    int Count();
    void StopMonitoring() noexcept;
    // The "_Total" instance, the whole machine (NT, collecting first when needed); -1 when
    // the performance data has none. 0 on Windows 9x, whose one figure is the machine's.
    int TotalIndex();

    bool IsNT() const { return isNT_; }
    int ProcessorIndex = 0;
    std::int32_t CPUUsage = 0;

private:
    void CollectNT();
    void Collect9x();

    ProcessorCounters counters_;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(8192);  // only ever grows
    bool isNT_ = true;
    bool perfDataOpen_ = false;  // HKEY_PERFORMANCE_DATA was read and is held open
    bool started_ = false;
    std::uint32_t rawUsage_ = 0;
    UniqueHkey statistics_;
};

class TvxSysInfo {
public:
    void Update() {
        Memory.Update();
        CPUUsage.Update();
    }
    // The whole machine's processor load in percent for a chart, also set as
    // CPUUsage.CPUUsage: the load that GetSystemTimes shows since the previous call, or on
    // systems without that function, CPUUsage.Update on the "_Total" instance of the
    // performance data. Never raises for the processor's sake; the first failure is written
    // to the debugger output, and the load reads 0 from then on.
    std::int32_t SampleCpuPercent();

    TMemory Memory;
    TCPUUsage CPUUsage;

private:
    SystemTimesMeter meter_;
};

}  // namespace vexlo::switching
