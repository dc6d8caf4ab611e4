#include "shell/menu_bitmap.h"

#include <vector>

#include "shared/dpi.h"
#include "shared/handles.h"
#include "shared/module.h"
#include "shell/context_rules.h"

namespace vexlo {

namespace {

struct SizedBitmap {
    int width, height;
    UniqueHbitmap bitmap;
};

CriticalSection& MenuBitmapLock() {
    static CriticalSection cs;
    return cs;
}

// One bitmap per check-mark size asked for (a display scale each), made on first use and
// only read afterwards: menus keep the handle.
StartupSlot<std::vector<SizedBitmap>> g_menuBitmaps;

// The picture at the given size; averaged when scaled, so it stays smooth. LoadImage is
// user32: on first use, never while the library loads.
HBITMAP LoadMenuBitmap(int width, int height) {
    UniqueHbitmap source(static_cast<HBITMAP>(LoadImageA(module::Instance(), kMenuBitmapName, IMAGE_BITMAP, 0, 0, 0)));
    BITMAP bm{};
    if (!source || !GetObjectA(source.get(), sizeof bm, &bm)) return nullptr;
    if (bm.bmWidth == width && bm.bmHeight == height) return source.release();
    WindowDc screen(nullptr);
    UniqueHdc from(CreateCompatibleDC(screen.dc())), to(CreateCompatibleDC(screen.dc()));
    UniqueHbitmap scaled(CreateCompatibleBitmap(screen.dc(), width, height));
    if (!from || !to || !scaled) return source.release();
    SelectGuard in(from.get(), source.get()), out(to.get(), scaled.get());
    SetStretchBltMode(to.get(), HALFTONE);
    SetBrushOrgEx(to.get(), 0, 0, nullptr);
    StretchBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
    return scaled.release();
}

}  // namespace

void FreeMenuBitmap() noexcept {
    Lock lock(MenuBitmapLock());
    g_menuBitmaps.Reset();
}

HBITMAP MenuBitmap(int dpi) {
    // A menu draws an item's check-mark bitmap at the check-mark size (SetMenuItemBitmaps,
    // remarks), which grows with the display scale.
    if (dpi <= 0) dpi = dpi::AtCursor();
    const int width = dpi::Metric(SM_CXMENUCHECK, dpi), height = dpi::Metric(SM_CYMENUCHECK, dpi);
    Lock lock(MenuBitmapLock());
    if (!g_menuBitmaps) g_menuBitmaps.Emplace();
    for (const SizedBitmap& b : *g_menuBitmaps.get())
        if (b.width == width && b.height == height) return b.bitmap.get();
    HBITMAP made = LoadMenuBitmap(width, height);
    if (made) g_menuBitmaps->push_back({width, height, UniqueHbitmap(made)});
    return made;
}

}  // namespace vexlo
