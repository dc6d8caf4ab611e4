#pragma once
// The in-process COM server: the class factories of the two shell extensions.

namespace vexlo::com_server {

// The factories are made on the first call of an entry point that needs them (DllMain may
// not run COM or user32 code); this shut-down step releases them and the menu bitmap.
void Release() noexcept;

}  // namespace vexlo::com_server
