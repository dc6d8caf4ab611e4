#pragma once
// TvxChart: a small scrolling line chart of values 0..100 on a grid, a window of its own
// (so a form table names it as a custom control) that paints double-buffered what
// ChartData says to draw. At each paint the control snaps its size to the grid. Its object
// is reached from its window with ui::Window::As<TvxChart>.
#include <windows.h>

#include <cstdint>

#include <string>

#include "switching/chart_rules.h"
#include "ui/accessible.h"
#include "ui/window.h"

namespace vexlo::switching {

class TvxChart : public ui::Window {
public:
    static constexpr const char* kClassName = "TvxChart";
    static void Register();

    // Appended; nothing is repainted or dropped until the next paint.
    void AddValue(std::uint8_t value) { data_.AddValue(value); }
    void SetGridSize(int gridSize) { data_.SetGridSize(gridSize); }
    int GridSize() const { return data_.GridSize(); }
    const ChartData& Data() const { return data_; }
    // Paints now; screen readers hear the latest figure (at most as often as it repaints).
    void Repaint();
    // What screen readers call the chart ("CPU usage").
    void SetCaption(const std::string& caption) { caption_ = caption; }

private:
    static ui::Window* Make(HWND wnd, const CREATESTRUCTA& cs);
    bool OnPaint() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

    LRESULT Accessibility(WPARAM wp, LPARAM lp);

    ChartData data_;
    std::string caption_, spokenValue_;
    ui::Accessible accessible_;
};

}  // namespace vexlo::switching
