#pragma once
// The host's settings commands: seeding a profile the way the main program writes it, and
// listing the desktops of a profile as the library reads them.

namespace vexlo::host {

// seed PROFILE PASSPHRASE [ID:NAME[:FOLDER[:FLAGS]]]...
int CmdSeed(int argc, char** argv);
// desktops [PROFILE [PASSPHRASE]]
int CmdDesktops(int argc, char** argv);

}  // namespace vexlo::host
