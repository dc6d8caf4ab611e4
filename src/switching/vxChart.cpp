#include "switching/vxChart.h"

#include <string>
#include <vector>

#include <oleacc.h>

#include "shared/handles.h"
#include "ui/high_contrast.h"

namespace vexlo::switching {

namespace {

void Polyline(HDC dc, const std::vector<ChartPoint>& points) {
    if (points.empty()) return;
    MoveToEx(dc, points[0].x, points[0].y, nullptr);
    for (std::size_t i = 1; i < points.size(); ++i) LineTo(dc, points[i].x, points[i].y);
}

// Grid and curve lines as wide as one pixel at 96 DPI.
void Draw(HDC dc, const ChartDrawing& d, int lineWidth) {
    const RECT all{0, 0, d.size.width, d.size.height};
    // High contrast: the window colour behind, the grid in window text, the curve highlighted.
    const bool contrast = ui::HighContrast();
    FillRect(dc, &all, contrast ? GetSysColorBrush(COLOR_WINDOW) : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    UniqueHpen shadow(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
    UniqueHpen highlight(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT)));
    UniqueHpen grid(CreatePen(PS_SOLID, lineWidth, contrast ? GetSysColor(COLOR_WINDOWTEXT) : kChartGridColor));
    UniqueHpen curve(CreatePen(PS_SOLID, lineWidth, contrast ? GetSysColor(COLOR_HIGHLIGHT) : kChartCurveColor));
    {
        SelectGuard pen(dc, shadow.get());
        Polyline(dc, d.shadowFrame);
    }
    {
        SelectGuard pen(dc, highlight.get());
        Polyline(dc, d.highlightFrame);
    }
    {
        SelectGuard pen(dc, grid.get());
        for (const ChartLine& l : d.grid) Polyline(dc, {l.from, l.to});
    }
    SelectGuard pen(dc, curve.get());
    Polyline(dc, d.curve);
}

}  // namespace

void TvxChart::Register() { ui::EnsureWindowClass({.name = kClassName, .factory = &TvxChart::Make}); }

ui::Window* TvxChart::Make(HWND, const CREATESTRUCTA&) { return new TvxChart(); }

void TvxChart::Repaint() {
    InvalidateRect(Hwnd(), nullptr, FALSE);
    UpdateWindow(Hwnd());
    if (data_.Values().empty()) return;
    const std::string value = std::to_string(data_.Values().back()) + " %";
    if (value == spokenValue_) return;
    spokenValue_ = value;
    accessible_.SetValue(value);
    ui::NotifyClient(EVENT_OBJECT_VALUECHANGE, Hwnd());
}

LRESULT TvxChart::Accessibility(WPARAM wp, LPARAM lp) {
    accessible_.Describe({.role = ROLE_SYSTEM_CHART, .state = STATE_SYSTEM_READONLY, .name = caption_, .value = spokenValue_});
    return accessible_.Answer(Hwnd(), wp, lp);
}

bool TvxChart::OnPaint() {
    RECT r{};
    GetClientRect(Hwnd(), &r);
    const ChartDrawing drawing = data_.Paint({r.right, r.bottom});
    if (drawing.size.width != r.right || drawing.size.height != r.bottom) {
        // The snapped size becomes the control's own; the next paint draws it whole.
        SetWindowPos(Hwnd(), nullptr, 0, 0, drawing.size.width, drawing.size.height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PaintBuffered(nullptr, [&](HDC dc, const RECT&) { Draw(dc, drawing, Scaled(1)); });
    return true;
}

bool TvxChart::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_GETOBJECT) {
        result = Accessibility(wp, lp);
        return true;
    }
    if (msg == WM_ERASEBKGND) {
        result = 1;  // painted whole in WM_PAINT
        return true;
    }
    return false;
}

}  // namespace vexlo::switching
