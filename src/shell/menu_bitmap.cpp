#include "shell/menu_bitmap.h"

#include "shared/handles.h"
#include "shared/module.h"
#include "shell/context_rules.h"

namespace vexlo {

namespace {
StartupSlot<UniqueHbitmap> g_menuBitmap;
}

void LoadMenuBitmap() {
    g_menuBitmap.Emplace(
        static_cast<HBITMAP>(LoadImageA(module::Instance(), kMenuBitmapName, IMAGE_BITMAP, 0, 0, 0)));
}

void FreeMenuBitmap() { g_menuBitmap.Reset(); }

HBITMAP MenuBitmap() { return g_menuBitmap ? g_menuBitmap->get() : nullptr; }

}  // namespace vexlo
