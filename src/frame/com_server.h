#pragma once
// The in-process COM server: the class factories of the two shell extensions.

namespace vexlo::com_server {

// Start-up step: creates the factories, the Icon Manager's first (and with it the menu
// bitmap), then the Run-as one. Never fails loading.
bool Start();
void Stop();

}  // namespace vexlo::com_server
