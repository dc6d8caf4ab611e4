#pragma once

namespace vexlo::runtime {

// Gives back the thread-local storage slots that the DLL's runtime took. Only when the
// DLL is being unloaded from a process that goes on: nothing of ours runs afterwards.
void ReleaseThreadSlots() noexcept;

}  // namespace vexlo::runtime
