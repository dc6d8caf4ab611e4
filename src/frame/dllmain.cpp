#include <windows.h>

#include "frame/runtime.h"
#include "frame/startup.h"
#include "shared/module.h"
#include "ui/form.h"
#include "ui/keyboard.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        vexlo::module::SetInstance(instance);
        return vexlo::startup::Attach() ? TRUE : FALSE;
    case DLL_THREAD_DETACH:
        // A thread that ends with a modeless window of ours still open: its keyboard hook
        // and its forms (and the secrets they hold) go with it.
        vexlo::ui::ThreadEnding();
        return TRUE;
    case DLL_PROCESS_DETACH:
        // At process exit (reserved != null) other threads are gone and the system
        // reclaims mappings and memory; only an explicit unload needs the shut-down.
        if (reserved == nullptr) {
            vexlo::startup::Detach();
            vexlo::module::ReleaseState();
            // Window classes outlive a DLL that registered them; a later load at another
            // address must not find ours pointing into freed code.
            vexlo::ui::ReleaseFormResources();
            vexlo::runtime::ReleaseThreadSlots();
        }
        return TRUE;
    default:
        return TRUE;
    }
}
