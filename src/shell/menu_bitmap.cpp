#include "shell/menu_bitmap.h"

#include "shared/handles.h"
#include "shared/module.h"
#include "shared/once.h"
#include "shell/context_rules.h"

namespace vexlo {

namespace {
StartupSlot<UniqueHbitmap> g_menuBitmap;
RunOnce g_menuBitmapOnce;

// LoadImage is user32: on first use, never while the library loads.
bool LoadMenuBitmap() {
    g_menuBitmap.Emplace(
        static_cast<HBITMAP>(LoadImageA(module::Instance(), kMenuBitmapName, IMAGE_BITMAP, 0, 0, 0)));
    return true;
}
}  // namespace

void FreeMenuBitmap() noexcept {
    g_menuBitmap.Reset();
    g_menuBitmapOnce.Reset();
}

HBITMAP MenuBitmap() {
    g_menuBitmapOnce.Run(LoadMenuBitmap);
    return g_menuBitmap->get();
}

}  // namespace vexlo
