#pragma once

namespace vexlo::runtime {

// Sets the stack protector's canary for this load; DllMain's first act, before any function
// that checks it has started. Neither it nor DllMain carries the check itself.
[[gnu::no_stack_protector]] void SeedStackGuard() noexcept;

// Gives back the thread-local storage slots that the DLL's runtime took. Only when the
// DLL is being unloaded from a process that goes on: nothing of ours runs afterwards.
void ReleaseThreadSlots() noexcept;

}  // namespace vexlo::runtime
