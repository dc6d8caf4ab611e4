#pragma once
// The controls of the form layer that take more than one window or a class of their own:
// page controls with their pages, radio groups, spin edits, custom controls, and the
// owner-drawn lists. Form (ui/form.h) creates them from its table and routes their
// notifications here.
#include <windows.h>

#include <string>
#include <vector>

#include "ui/layout.h"

namespace vexlo::ui::controls {

// Fixed height of the items of an owner-drawn list (and of its selection field).
constexpr int kOwnerDrawItemHeight = 16;

bool IsCompound(Kind kind);
// Creates a compound control in parent at left, top; raises on failure.
HWND CreateCompound(const ControlDef& c, HWND parent, int left, int top, HFONT font);

// A copy of font with only the underline added; kept until ReleaseFonts.
HFONT UnderlinedFont(HFONT font);
void ReleaseFonts() noexcept;

// A control of the form by id, at any depth below it (pages hold their own controls).
HWND FindDescendant(HWND root, int id);

// Owner-drawn lists: plain item text at the fixed item height.
bool MeasureItem(const FormDef& def, MEASUREITEMSTRUCT& mis);
bool DrawItem(const FormDef& def, const DRAWITEMSTRUCT& dis);

// Pages: the page control shows one page at a time.
void ShowPage(HWND pageControl, int index);
int ActivePage(HWND pageControl);

// Radio groups: the chosen item (-1: none) and choosing one without a click.
int RadioIndex(HWND holder, const ControlDef& group);
void SetRadioIndex(HWND holder, const ControlDef& group, int index);
void EnableRadioItems(HWND holder, const ControlDef& group, bool enabled);

// Registers a window class of the library once per load; the classes go away together
// when the library unloads (ReleaseFormResources).
void EnsureWindowClass(const char* className, WNDPROC proc, LPCSTR cursor, HBRUSH background);

}  // namespace vexlo::ui::controls
