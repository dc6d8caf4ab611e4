#pragma once
// Process information for the switcher: the application windows of the calling thread's
// desktop, a process's priority class name and its working set.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "shared/handles.h"
#include "shared/shortstr.h"
#include "shared/vxList.h"

namespace vexlo::switching {

// One application window, an item of the application list.
struct TAppEntry {
    ShortString FileName;    // the process's executable, upper case
    ShortString Title;       // the window's title
    std::uint32_t ProcessID;
    HICON Icon;              // the class's large icon, borrowed; null when it has none
    HWND Wnd;                // a root owner
    LONG_PTR Item;           // index of the list item that shows it (filled by the switcher)
};
static_assert(offsetof(TAppEntry, ProcessID) == 512, "layout");
static_assert(sizeof(TAppEntry) == (sizeof(void*) == 4 ? 528 : 544), "layout");

struct TWindowRecord {
    HWND Wnd;
    ShortString Title;
    bool Visible;
    HICON Icon;
    std::uint32_t ProcessID;
};

struct TProcessRecord {
    ShortString FileName;
    std::uint32_t ProcessID;
};

// Each clears its list first.
void ListTopWindows(TvxList& windows);  // of TWindowRecord
void ListProcesses(TvxList& processes); // of TProcessRecord
void ListApps(TvxList& apps);           // of TAppEntry

// One process list for threads that gather several desktops at once: the first thread that
// needs it takes the snapshot, the others wait for that one and read it. A snapshot per
// desktop would cost each of them a walk over every process of the system.
class SharedProcessList {
public:
    SharedProcessList();
    SharedProcessList(const SharedProcessList&) = delete;
    SharedProcessList& operator=(const SharedProcessList&) = delete;
    const TvxList& Get();  // of TProcessRecord; not changed once taken

private:
    CriticalSection lock_;
    bool taken_ = false;
    TvxList processes_;
};

// ListApps with the process list taken once for all the callers that share it.
void ListApps(TvxList& apps, SharedProcessList& processes);

// A list of the given record type.
template <typename Record>
TvxList MakeList() {
    return TvxList(static_cast<std::uint16_t>(sizeof(Record)));
}
template <typename Record>
Record& At(const TvxList& list, std::int32_t index) {
    return *static_cast<Record*>(list.Item(index));
}

// "Normal", "Idle", "High", "Realtime" or empty (any other class, or a failed query).
std::string ProcessPriorityName(std::uint32_t processId);
// The process's priority class, 0 when it cannot be read.
std::uint32_t ProcessPriorityClass(std::uint32_t processId);
// The working set in bytes; 0 when the query fails.
std::uint32_t ProcessMemory(std::uint32_t processId);

}  // namespace vexlo::switching
