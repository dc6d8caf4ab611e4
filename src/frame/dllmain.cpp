#include <windows.h>

#include "frame/com_server.h"
#include "frame/runtime.h"
#include "shared/module.h"
#include "shared/startup.h"
#include "ui/form.h"
#include "ui/keyboard.h"
#include "ui/library_windows.h"
#include "ui/password_box.h"

namespace {

using vexlo::startup::Step;

// An unload may come from any thread while windows of the library live on others: none of
// them may keep a procedure, a timer or a hook of the library once it is unmapped.
void ReleaseLibraryWindows() noexcept {
    vexlo::ui::RetargetLibraryWindows(&vexlo::ui::ReleasePasswordBox);
    vexlo::ui::ReleaseModelessKeyboards();
}

// The DLL's sequence: the library's own (the shared services' table), then the releases
// of what the layers above make on first use. Undone in reverse, so the thread-local
// storage slots go last.
constexpr Step kDllSteps[] = {
    {"thread-local storage slots", nullptr, vexlo::runtime::ReleaseThreadSlots},
    {"library", vexlo::startup::Attach, vexlo::startup::Detach},
    // Window classes outlive a DLL that registered them; a later load at another
    // address must not find ours pointing into freed code.
    {"window classes", nullptr, vexlo::ui::ReleaseFormResources},
    // Undone before the classes go: the library's windows of every thread are let go.
    {"library windows", nullptr, ReleaseLibraryWindows},
    {"COM class factories", nullptr, vexlo::com_server::Release},
};
constinit vexlo::startup::Sequence g_dll(kDllSteps);

}  // namespace

extern "C" [[gnu::no_stack_protector]] BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        vexlo::runtime::SeedStackGuard();
        // Under the loader lock: only kernel32 work and the few registry reads of the
        // profile happen here (see shared/once.h).
        vexlo::module::SetInstance(instance);
        return g_dll.Start() ? TRUE : FALSE;
    case DLL_THREAD_DETACH:
        // A thread that ends with a modeless window of ours still open: its keyboard hook
        // and its forms (and the secrets they hold) go with it.
        vexlo::ui::ThreadEnding();
        return TRUE;
    case DLL_PROCESS_DETACH:
        // At process exit (reserved != null) other threads are gone and the system
        // reclaims mappings and memory; only an explicit unload needs the shut-down.
        if (reserved == nullptr) g_dll.Stop();
        return TRUE;
    default:
        return TRUE;
    }
}
