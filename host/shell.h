#pragma once
namespace vexlo::host {

// shell register | unregister | runas [PATH] | menu icons|runas FILE [--show] [--shot PNG]
//       | demo OUTDIR
int CmdShell(int argc, char** argv);

}  // namespace vexlo::host
