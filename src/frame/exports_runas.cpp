// The Run As export: a thin function around the dialog.
#include <windows.h>

#include "dialogs/frmRunAs.h"
#include "shared/guard.h"

extern "C" void WINAPI ShowRunAs(const char* application) {
    vexlo::Guarded<int>(0, "ShowRunAs", [&] {
        vexlo::ShowRunAsDialog(application);
        return 0;
    });
}
