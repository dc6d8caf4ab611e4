#include "switching/perf_data.h"

#include <cstring>
#include <string>

#include "shared/error.h"

namespace vexlo::switching {

namespace {

[[noreturn]] void Fail(std::string_view text) { throw Error(std::string(text)); }

// Reads a T at `at` when [at, at + sizeof(T)) lies inside [0, limit) and the buffer.
// Offsets are 64-bit, so sums of two 32-bit lengths never wrap on the 32-bit target.
template <typename T>
bool ReadAt(ByteSpan buffer, std::uint64_t at, std::uint64_t limit, T& out) {
    if (limit > buffer.size) limit = buffer.size;
    if (at > limit || limit - at < sizeof(T)) return false;
    std::memcpy(&out, buffer.data + at, sizeof(T));
    return true;
}

std::uint64_t BlockEnd(ByteSpan buffer, const PerfDataBlock& block) {
    return block.TotalByteLength < buffer.size ? block.TotalByteLength : buffer.size;
}

// The smallest room one instance takes: its definition, a counter block header, and the
// 8-byte value.
constexpr std::uint64_t kMinInstanceBytes =
    sizeof(PerfInstanceDefinition) + sizeof(PerfCounterBlock) + sizeof(std::int64_t);

// A record that states its own length (an instance's definition, a counter block) at
// `at`, whole inside the object.
template <typename Record>
Record ReadSized(ByteSpan buffer, std::uint64_t at, std::uint64_t end) {
    Record record;
    if (!ReadAt(buffer, at, end, record) || record.ByteLength < sizeof(Record) || record.ByteLength > end - at)
        Fail(kCannotReadPerfData);
    return record;
}

}  // namespace

ProcessorObject FindProcessorObject(ByteSpan buffer) {
    PerfDataBlock block;
    if (!ReadAt(buffer, 0, buffer.size, block) || block.HeaderLength < sizeof(PerfDataBlock))
        Fail(kNoProcessorObject);
    const std::uint64_t end = BlockEnd(buffer, block);
    std::uint64_t at = block.HeaderLength;
    for (std::uint32_t i = 0; i < block.NumObjectTypes; ++i) {
        PerfObjectType object;
        // Each object is at least a header long and lies inside the block, so every step
        // moves forward and the walk ends within the buffer.
        if (!ReadAt(buffer, at, end, object) || object.TotalByteLength < sizeof(PerfObjectType) ||
            object.TotalByteLength > end - at)
            Fail(kNoProcessorObject);
        if (object.ObjectNameTitleIndex == kProcessorObjectIndex) {
            if (object.HeaderLength < sizeof(PerfObjectType) ||
                object.DefinitionLength < object.HeaderLength ||
                object.DefinitionLength > object.TotalByteLength)
                Fail(kNoProcessorObject);
            return {at, at + object.TotalByteLength, object.NumInstances};
        }
        at += object.TotalByteLength;
    }
    Fail(kNoProcessorObject);
}

int InstanceCountOf(ByteSpan buffer, const ProcessorObject& object) {
    if (object.numInstances <= 0) return 0;
    PerfObjectType header;
    if (!ReadAt(buffer, object.offset, object.end, header) ||
        header.DefinitionLength > object.end - object.offset)
        Fail(kCannotReadPerfData);
    const std::uint64_t room = object.end - object.offset - header.DefinitionLength;
    if (static_cast<std::uint64_t>(object.numInstances) > room / kMinInstanceBytes)
        Fail(kCannotReadPerfData);
    return object.numInstances;
}

ProcessorSample ReadProcessorSample(ByteSpan buffer, const ProcessorObject& object,
                                    int instanceCount) {
    PerfObjectType header;
    if (!ReadAt(buffer, object.offset, object.end, header)) Fail(kCannotReadPerfData);
    PerfDataBlock block;
    if (!ReadAt(buffer, 0, buffer.size, block)) Fail(kCannotReadPerfData);

    // Counter definitions lie between the object's header and the end of its definitions.
    const std::uint64_t definitionsEnd = object.offset + header.DefinitionLength;
    std::uint64_t at = object.offset + header.HeaderLength;
    bool found = false;
    PerfCounterDefinition counter{};
    for (std::uint32_t i = 0; i < header.NumCounters && !found; ++i) {
        if (!ReadAt(buffer, at, definitionsEnd, counter) ||
            counter.ByteLength < sizeof(PerfCounterDefinition) ||
            counter.ByteLength > definitionsEnd - at)
            Fail(kNoProcessorTimeCounter);
        if (counter.CounterNameTitleIndex == kProcessorTimeCounterIndex) found = true;
        else at += counter.ByteLength;
    }
    if (!found) Fail(kNoProcessorTimeCounter);

    // Instances follow the definitions: a definition (with its name), then its counter
    // block; each lies inside the object, and the value inside its counter block.
    ProcessorSample sample;
    if (instanceCount > 0 && definitionsEnd < object.end) {
        const std::uint64_t most = (object.end - definitionsEnd) / kMinInstanceBytes;
        sample.idleTimes.reserve(static_cast<std::size_t>(
            static_cast<std::uint64_t>(instanceCount) < most ? instanceCount : most));
    }
    at = definitionsEnd;
    for (int i = 0; i < instanceCount; ++i) {
        const PerfInstanceDefinition instance = ReadSized<PerfInstanceDefinition>(buffer, at, object.end);
        at += instance.ByteLength;
        const PerfCounterBlock counters = ReadSized<PerfCounterBlock>(buffer, at, object.end);
        std::int64_t value;
        if (!ReadAt(buffer, at + counter.CounterOffset, at + counters.ByteLength, value))
            Fail(kCannotReadPerfData);
        sample.idleTimes.push_back(value);
        at += counters.ByteLength;
    }

    if (!SystemTimeToFileTime(block.SystemTime, sample.timeStamp)) Fail(kCannotReadPerfData);
    return sample;
}

int FindInstanceNamed(ByteSpan buffer, const ProcessorObject& object, int instanceCount,
                      std::u16string_view name) {
    PerfObjectType header;
    if (!ReadAt(buffer, object.offset, object.end, header) ||
        header.DefinitionLength > object.end - object.offset)
        Fail(kCannotReadPerfData);
    std::uint64_t at = object.offset + header.DefinitionLength;
    for (int i = 0; i < instanceCount; ++i) {
        const PerfInstanceDefinition instance = ReadSized<PerfInstanceDefinition>(buffer, at, object.end);
        // The name lies inside the instance's definition; without its null it must match.
        const std::uint64_t nameAt = at + instance.NameOffset;
        const std::uint64_t nameEnd = at + instance.ByteLength;
        if (instance.NameOffset >= sizeof(PerfInstanceDefinition) && instance.NameLength >= 2 &&
            nameAt <= nameEnd && instance.NameLength <= nameEnd - nameAt &&
            (instance.NameLength - 2) / 2 == name.size()) {
            bool same = true;
            for (std::size_t k = 0; k < name.size() && same; ++k) {
                std::uint16_t c = 0;
                same = ReadAt(buffer, nameAt + 2 * k, nameEnd, c) && c == name[k];
            }
            if (same) return i;
        }
        at += instance.ByteLength;
        const PerfCounterBlock counters = ReadSized<PerfCounterBlock>(buffer, at, object.end);
        at += counters.ByteLength;
    }
    return -1;
}

bool SystemTimeToFileTime(const PerfSystemTime& t, std::int64_t& fileTime) {
    static constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.Year < 1601 || t.Year > 30827 || t.Month < 1 || t.Month > 12 || t.Hour > 23 ||
        t.Minute > 59 || t.Second > 59 || t.Milliseconds > 999)
        return false;
    const bool leap = (t.Year % 4 == 0 && t.Year % 100 != 0) || t.Year % 400 == 0;
    const int monthDays = kDaysInMonth[t.Month - 1] + (t.Month == 2 && leap ? 1 : 0);
    if (t.Day < 1 || t.Day > monthDays) return false;

    // Days since 1601-01-01 (a year after a multiple of 400: the cycle starts cleanly).
    const std::int64_t years = t.Year - 1601;
    std::int64_t days = years * 365 + years / 4 - years / 100 + years / 400;
    static constexpr int kDaysBeforeMonth[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    days += kDaysBeforeMonth[t.Month - 1] + (t.Month > 2 && leap ? 1 : 0) + (t.Day - 1);
    const std::int64_t ms =
        ((days * 24 + t.Hour) * 60 + t.Minute) * 60000 + t.Second * 1000 + t.Milliseconds;
    fileTime = ms * 10000;
    return true;
}

}  // namespace vexlo::switching
