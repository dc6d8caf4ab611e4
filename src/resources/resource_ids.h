// Numbered resources: shared by Vexlo.rc and the code that names them by number.
#pragma once
// The library's icon, named "path,-id" by Windows 11's first-level commands.
#define VEXLO_ICON_ID 101
