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
    ~TCPUUsage() { StopMonitoring(); }
    TCPUUsage(const TCPUUsage&) = delete;
    TCPUUsage& operator=(const TCPUUsage&) = delete;

    // Each raises the library's error with one of the five texts of perf_data.h.
    void Update();
    void Collect();
    double UsageOf(int index);
    int Count();
    void StopMonitoring() noexcept;

    bool IsNT() const { return isNT_; }
    int ProcessorIndex = 0;
    std::int32_t CPUUsage = 0;

private:
    void CollectNT();
    void Collect9x();

    ProcessorCounters counters_;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(8192);  // only ever grows
    bool isNT_ = true;
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
    // The processor load in percent for a chart: CPUUsage after Update, or, where the
    // performance data cannot give it (Wine has no "Processor" object), the load that
    // GetSystemTimes shows since the previous call. Never raises for the processor's sake;
    // the first such failure is written to the debugger output.
    std::int32_t SampleCpuPercent();

    TMemory Memory;
    TCPUUsage CPUUsage;

private:
    SystemTimesMeter meter_;
};

}  // namespace vexlo::switching
