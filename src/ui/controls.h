#pragma once
// The control kinds of the form layer as one behaviour table: what each kind creates, how
// its value or chosen item is read and set, its items, how it is measured and drawn when
// the form draws it, and what its notifications do. A new kind is one entry here (and its
// name in ui::Kind).
#include <windows.h>

#include <string>
#include <vector>

#include "ui/layout.h"

namespace vexlo::ui::controls {

// Fixed height of the items of an owner-drawn list (and of its selection field).
constexpr int kOwnerDrawItemHeight = 16;

// Where and with what a control is made. Lengths are pixels at the form's DPI; the table's
// are at 96 DPI.
struct Site {
    HWND holder;          // the form or a page
    int left, top;        // in the holder's client area
    HFONT font;           // the form's font for the control (normal or bold)
    HDC measure;          // a screen-compatible memory DC for measuring text
    int dpi = 96;         // the form's DPI
    int width = 0, height = 0;  // the control's size (Extent)
};

struct KindOps {
    // The kind this entry stands for: the table is checked against ui::Kind when built.
    Kind kind;
    // Creates the control (and any windows that belong to it); raises on failure.
    HWND (*create)(const ControlDef& c, const Site& site);
    // The chosen item (-1: none) and choosing one without a click; null: no items.
    int (*getIndex)(HWND ctl, const ControlDef& c) = nullptr;
    void (*setIndex)(HWND ctl, const ControlDef& c, int index) = nullptr;
    void (*setItems)(HWND ctl, const std::vector<std::string>& items) = nullptr;
    // Windows that belong to the control besides its own follow its enabled state.
    void (*setEnabled)(HWND ctl, const ControlDef& c, bool enabled) = nullptr;
    bool (*measure)(const ControlDef& c, MEASUREITEMSTRUCT& mis) = nullptr;
    bool (*draw)(const ControlDef& c, const DRAWITEMSTRUCT& dis) = nullptr;
    bool (*notify)(HWND ctl, const ControlDef& c, const NMHDR& hdr, LRESULT& result) = nullptr;
    // Sized to its text: a new text gives a new size.
    bool sizedToText = false;
};

const KindOps& Ops(Kind kind);

// A control's window size at the site's DPI: the table's size scaled; the size of the text
// for the kinds sized to it; a drop-down's with room for its list.
SIZE Extent(const ControlDef& c, const Site& s, const char* text);
// Where a radio group's button lies in the group's holder, for a group placed at the site.
Rect RadioItemAt(const ControlDef& group, const Site& s, int count, int index);

// The size of a text in a font, unwrapped, measured on a screen-compatible DC.
SIZE TextSize(HDC measure, HFONT font, const char* text);

// "MS Sans Serif" at the given height, normal or bold, plain or underlined; made once per
// load under a lock (forms on several threads share them) and kept until ReleaseFonts.
HFONT SharedFont(int height, bool bold, bool underline = false);
// The font with only the underline added, for a font of the library; kept until ReleaseFonts.
HFONT UnderlinedFont(HFONT font);
void ReleaseFonts() noexcept;
// A form at a DPI other than the system's holds the fonts of its height (every weight and
// underline) while it shows at it. The last release of a height deletes its fonts, so
// every DPI a window once had leaves nothing behind; the system DPI's fonts never go.
void HoldFontHeight(int height);
void ReleaseFontHeight(int height) noexcept;

// A control of the form by id, at any depth below it (pages hold their own controls).
HWND FindDescendant(HWND root, int id);

}  // namespace vexlo::ui::controls
