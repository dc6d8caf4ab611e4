#pragma once
// The walk over a performance-data block as RegQueryValueExA(HKEY_PERFORMANCE_DATA, "238")
// returns it (Collect on Windows NT): find the "Processor" object (238), its "% of CPU
// usage" counter (6), and read that counter for each instance, plus the block's time stamp.
//
// The buffer comes from outside the library, so it is checked as it is walked: every
// structure read lies inside the buffer and inside the structure that holds it, as their
// lengths state, and every step moves forward. A buffer that lies gives one of the stated
// texts as a vexlo::Error, never a read outside it:
//   - the data block or the object chain up to the Processor object: kNoProcessorObject;
//   - the Processor object's counter definitions: kNoProcessorTimeCounter;
//   - its instances, counter blocks and values: kCannotReadPerfData.
// Every instance is read alike; FindInstanceNamed finds one by its name (the
// switcher's chart wants "_Total", the whole machine, which Windows lists last).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::switching {

// The five error texts.
inline constexpr std::string_view kNoProcessorObject =
    "Unable to locate the \"Processor\" performance object";
inline constexpr std::string_view kNoProcessorTimeCounter =
    "Unable to locate the \"% of CPU usage\" performance counter";
inline constexpr std::string_view kCannotStartMonitoring = "Unable to start performance monitoring";
inline constexpr std::string_view kCannotReadPerfData = "Unable to read performance data";
inline constexpr std::string_view kCpuIndexOutOfBounds = "CPU index out of bounds";

inline constexpr std::uint32_t kProcessorObjectIndex = 238;
inline constexpr std::uint32_t kProcessorTimeCounterIndex = 6;

// Mirrors of the 32-bit winperf.h layouts (pshpack8 there; packed here with the padding
// spelled out), byte for byte. Pointer fields are 32-bit.
#pragma pack(push, 1)

struct PerfSystemTime {  // SYSTEMTIME
    std::uint16_t Year, Month, DayOfWeek, Day, Hour, Minute, Second, Milliseconds;
};

struct PerfDataBlock {  // PERF_DATA_BLOCK
    std::uint16_t Signature[4];  // "PERF" in UTF-16
    std::uint32_t LittleEndian;
    std::uint32_t Version;
    std::uint32_t Revision;
    std::uint32_t TotalByteLength;
    std::uint32_t HeaderLength;
    std::uint32_t NumObjectTypes;
    std::int32_t DefaultObject;
    PerfSystemTime SystemTime;   // UTC
    std::uint32_t Padding52;     // aligns the LARGE_INTEGERs to 8
    std::int64_t PerfTime;
    std::int64_t PerfFreq;
    std::int64_t PerfTime100nSec;
    std::uint32_t SystemNameLength;
    std::uint32_t SystemNameOffset;
};

struct PerfObjectType {  // PERF_OBJECT_TYPE
    std::uint32_t TotalByteLength;
    std::uint32_t DefinitionLength;
    std::uint32_t HeaderLength;
    std::uint32_t ObjectNameTitleIndex;
    std::uint32_t ObjectNameTitle;
    std::uint32_t ObjectHelpTitleIndex;
    std::uint32_t ObjectHelpTitle;
    std::uint32_t DetailLevel;
    std::uint32_t NumCounters;
    std::int32_t DefaultCounter;
    std::int32_t NumInstances;   // PERF_NO_INSTANCES is -1
    std::uint32_t CodePage;
    std::int64_t PerfTime;
    std::int64_t PerfFreq;
};

struct PerfCounterDefinition {  // PERF_COUNTER_DEFINITION
    std::uint32_t ByteLength;
    std::uint32_t CounterNameTitleIndex;
    std::uint32_t CounterNameTitle;
    std::uint32_t CounterHelpTitleIndex;
    std::uint32_t CounterHelpTitle;
    std::int32_t DefaultScale;
    std::uint32_t DetailLevel;
    std::uint32_t CounterType;
    std::uint32_t CounterSize;
    std::uint32_t CounterOffset;  // from the start of each instance's counter block
};

struct PerfInstanceDefinition {  // PERF_INSTANCE_DEFINITION
    std::uint32_t ByteLength;  // this header and the instance name
    std::uint32_t ParentObjectTitleIndex;
    std::uint32_t ParentObjectInstance;
    std::int32_t UniqueID;
    std::uint32_t NameOffset;
    std::uint32_t NameLength;
};

struct PerfCounterBlock {  // PERF_COUNTER_BLOCK
    std::uint32_t ByteLength;  // this header and the counter data
};

#pragma pack(pop)

static_assert(sizeof(PerfSystemTime) == 16, "SYSTEMTIME");
static_assert(sizeof(PerfDataBlock) == 88 && alignof(PerfDataBlock) == 1, "PERF_DATA_BLOCK");
static_assert(offsetof(PerfDataBlock, LittleEndian) == 8, "layout");
static_assert(offsetof(PerfDataBlock, Version) == 12, "layout");
static_assert(offsetof(PerfDataBlock, Revision) == 16, "layout");
static_assert(offsetof(PerfDataBlock, TotalByteLength) == 20, "layout");
static_assert(offsetof(PerfDataBlock, HeaderLength) == 24, "layout");
static_assert(offsetof(PerfDataBlock, NumObjectTypes) == 28, "layout");
static_assert(offsetof(PerfDataBlock, DefaultObject) == 32, "layout");
static_assert(offsetof(PerfDataBlock, SystemTime) == 36, "layout");
static_assert(offsetof(PerfDataBlock, PerfTime) == 56, "layout");
static_assert(offsetof(PerfDataBlock, PerfFreq) == 64, "layout");
static_assert(offsetof(PerfDataBlock, PerfTime100nSec) == 72, "layout");
static_assert(offsetof(PerfDataBlock, SystemNameLength) == 80, "layout");
static_assert(offsetof(PerfDataBlock, SystemNameOffset) == 84, "layout");
static_assert(sizeof(PerfObjectType) == 64 && alignof(PerfObjectType) == 1, "PERF_OBJECT_TYPE");
static_assert(offsetof(PerfObjectType, DefinitionLength) == 4, "layout");
static_assert(offsetof(PerfObjectType, HeaderLength) == 8, "layout");
static_assert(offsetof(PerfObjectType, ObjectNameTitleIndex) == 12, "layout");
static_assert(offsetof(PerfObjectType, ObjectNameTitle) == 16, "layout");
static_assert(offsetof(PerfObjectType, ObjectHelpTitleIndex) == 20, "layout");
static_assert(offsetof(PerfObjectType, ObjectHelpTitle) == 24, "layout");
static_assert(offsetof(PerfObjectType, DetailLevel) == 28, "layout");
static_assert(offsetof(PerfObjectType, NumCounters) == 32, "layout");
static_assert(offsetof(PerfObjectType, DefaultCounter) == 36, "layout");
static_assert(offsetof(PerfObjectType, NumInstances) == 40, "layout");
static_assert(offsetof(PerfObjectType, CodePage) == 44, "layout");
static_assert(offsetof(PerfObjectType, PerfTime) == 48, "layout");
static_assert(offsetof(PerfObjectType, PerfFreq) == 56, "layout");
static_assert(sizeof(PerfCounterDefinition) == 40 && alignof(PerfCounterDefinition) == 1,
              "PERF_COUNTER_DEFINITION");
static_assert(offsetof(PerfCounterDefinition, CounterNameTitleIndex) == 4, "layout");
static_assert(offsetof(PerfCounterDefinition, CounterNameTitle) == 8, "layout");
static_assert(offsetof(PerfCounterDefinition, CounterHelpTitleIndex) == 12, "layout");
static_assert(offsetof(PerfCounterDefinition, CounterHelpTitle) == 16, "layout");
static_assert(offsetof(PerfCounterDefinition, DefaultScale) == 20, "layout");
static_assert(offsetof(PerfCounterDefinition, DetailLevel) == 24, "layout");
static_assert(offsetof(PerfCounterDefinition, CounterType) == 28, "layout");
static_assert(offsetof(PerfCounterDefinition, CounterSize) == 32, "layout");
static_assert(offsetof(PerfCounterDefinition, CounterOffset) == 36, "layout");
static_assert(sizeof(PerfInstanceDefinition) == 24 && alignof(PerfInstanceDefinition) == 1,
              "PERF_INSTANCE_DEFINITION");
static_assert(offsetof(PerfInstanceDefinition, ParentObjectTitleIndex) == 4, "layout");
static_assert(offsetof(PerfInstanceDefinition, ParentObjectInstance) == 8, "layout");
static_assert(offsetof(PerfInstanceDefinition, UniqueID) == 12, "layout");
static_assert(offsetof(PerfInstanceDefinition, NameOffset) == 16, "layout");
static_assert(offsetof(PerfInstanceDefinition, NameLength) == 20, "layout");
static_assert(sizeof(PerfCounterBlock) == 4, "PERF_COUNTER_BLOCK");

// A read-only view of bytes (the registry buffer, cut to the size the read reported).
struct ByteSpan {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

// Where the walk found the Processor object: byte offsets into the buffer.
struct ProcessorObject {
    std::uint64_t offset = 0;        // the PERF_OBJECT_TYPE
    std::uint64_t end = 0;           // offset + its TotalByteLength
    std::int32_t numInstances = 0;   // as the object states it
};

// The Processor object of a performance data block. Throws kNoProcessorObject.
ProcessorObject FindProcessorObject(ByteSpan buffer);

// The instance count that the first collection fixes: the object's NumInstances, 0 for
// PERF_NO_INSTANCES or another negative value. A count that could not fit in the object
// is a lie and throws kCannotReadPerfData (so no array is ever sized by it).
int InstanceCountOf(ByteSpan buffer, const ProcessorObject& object);

struct ProcessorSample {
    std::vector<std::int64_t> idleTimes;  // counter 6 of instances 0 .. count-1, 100 ns units
    std::int64_t timeStamp = 0;           // the block's SystemTime as a FILETIME, 100 ns units
};

// The idle times and time stamp of one collection, for `instanceCount` instances (the count fixed by the first
// collection, not the object's own). Throws kNoProcessorTimeCounter, or kCannotReadPerfData
// (an instance that does not fit, or a SystemTime that is no valid date).
ProcessorSample ReadProcessorSample(ByteSpan buffer, const ProcessorObject& object,
                                    int instanceCount);

// The index of the instance named `name` among the first `instanceCount` instances, -1
// when none is. A name is UTF-16 at the instance's NameOffset, NameLength bytes long with
// its terminating null. Walks as ReadProcessorSample does and throws kCannotReadPerfData
// for an instance that does not fit.
int FindInstanceNamed(ByteSpan buffer, const ProcessorObject& object, int instanceCount,
                      std::u16string_view name);

// SystemTimeToFileTime: 100 ns intervals since 1601-01-01, for a valid date and time
// (years 1601 .. 30827; the day of the week is not looked at); false for any other.
bool SystemTimeToFileTime(const PerfSystemTime& time, std::int64_t& fileTime);

}  // namespace vexlo::switching
