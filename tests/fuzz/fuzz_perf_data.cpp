// The walk over performance data on any bytes: it reads nothing outside the
// buffer (the fuzzer's input is exactly sized, so the sanitizer sees any such read), fails
// only with the stated texts, and what it accepts behaves: a count that fits the buffer, a
// load for every instance, and "CPU index out of bounds" past them.
// Seeds: tests/fuzz/corpus/fuzz_perf_data, written by tests/fuzz/make_perf_data_corpus.py.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "shared/error.h"
#include "switching/perf_data.h"
#include "switching/sysinfo_rules.h"

namespace {

using namespace vexlo::switching;

void Check(bool ok) {
    if (!ok) std::abort();
}

// Collects, and checks that a failure is one of the walk's texts.
bool Collect(ProcessorCounters& counters, const std::vector<std::uint8_t>& bytes) {
    try {
        counters.Collect({bytes.data(), bytes.size()});
        return true;
    } catch (const vexlo::Error& e) {
        const std::string_view text = e.what();
        Check(text == kNoProcessorObject || text == kNoProcessorTimeCounter || text == kCannotReadPerfData);
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> first(data, data + size);
    ProcessorCounters counters;
    Collect(counters, first);
    if (counters.Count() < 0) return 0;
    // Each instance takes at least its definition, a counter block header and its value.
    Check(static_cast<std::size_t>(counters.Count()) <= size / 36);

    // A second sample one millisecond later (when the header is there to change).
    std::vector<std::uint8_t> second = first;
    const std::size_t ms = offsetof(PerfDataBlock, SystemTime) + offsetof(PerfSystemTime, Milliseconds);
    if (second.size() >= ms + 2) second[ms] ^= 1;
    Collect(counters, second);

    for (int i = 0; i < counters.Count(); ++i) Check(std::isfinite(counters.UsageOf(i)));
    for (const int outside : {-1, counters.Count()}) {
        try {
            counters.UsageOf(outside);
            Check(false);
        } catch (const vexlo::Error& e) {
            Check(std::string_view(e.what()) == kCpuIndexOutOfBounds);
        }
    }
    return 0;
}
