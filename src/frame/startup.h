#pragma once
// Start-up and shut-down of the library's modules in one fixed order.

namespace vexlo::startup {

// Runs every module's start-up in order, then registers the icon request message.
// False when a step that loading depends on failed; the steps already run are undone.
bool Attach() noexcept;
// Runs the shut-down of the modules that started, in reverse order.
void Detach() noexcept;

}  // namespace vexlo::startup
