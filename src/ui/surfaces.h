#pragma once
// Controls that the form layer paints itself, each a window of its own that paints
// double-buffered: pictures (bitmaps and icons) and see-through labels. Both show what
// lies beneath them (the form's background and the pictures below) where they draw
// nothing, so a logo can sit on a banner and a label on either.
#include <windows.h>

#include "shared/handles.h"
#include "ui/accessible.h"
#include "ui/layout.h"
#include "ui/window.h"

namespace vexlo::ui {

inline constexpr const char* kPictureClass = "TvxPicture";
inline constexpr const char* kSeeThroughLabelClass = "TvxLabel";

void EnsureSurfaceClasses();

// The top-level window that such controls lie on (a form): it paints what lies beneath a
// child, in the child's client coordinates. On any other window they show the system's
// face colour.
class Backdrop {
public:
    virtual void PaintBeneath(HWND child, HDC dc) const = 0;

protected:
    ~Backdrop() = default;
};

class PictureWindow : public Window {
public:
    static WindowClass Class() { return {.name = kPictureClass}; }

    // The named bitmap resource (null: none). A picture sized to its bitmap takes its size.
    void SetResource(const char* resource);
    // An icon drawn at the picture's size; the caller keeps it.
    void SetIcon(HICON icon);
    // A system icon (IDI_WARNING ...) drawn at the picture's size, from the image of that
    // size where the system has one; the picture owns it and loads it again when resized.
    void SetSystemIcon(const char* name);
    // A picture sized to its bitmap takes the bitmap's size at the form's DPI.
    void Fit();
    // Draws the picture with its top-left corner at x, y.
    void Draw(HDC dc, int x, int y) const;
    // A picture that carries text is read as that text (empty: pure artwork, which
    // screen readers pass over).
    void SetSpokenText(const std::string& text) { spoken_ = text; }

private:
    friend struct WindowFactory;
    explicit PictureWindow(const ControlDef& def) : def_(def) {}
    bool OnPaint() override;
    void OnSize(int width, int height) override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

    const ControlDef& def_;
    UniqueHbitmap bitmap_;
    HICON icon_ = nullptr;
    const char* systemIcon_ = nullptr;
    UniqueHicon ownIcon_;
    int iconSize_ = 0;
    int width_ = 0, height_ = 0;
    std::string spoken_;
    Accessible accessible_;
};

}  // namespace vexlo::ui
