#include "switching/chart_rules.h"

#include <algorithm>

#include "switching/rounding.h"

namespace vexlo::switching {

namespace {

int ClampGrid(int gridSize) { return std::clamp(gridSize, kMinGridSize, kMaxGridSize); }

int Snap(int side, int grid) { return static_cast<int>(grid * DivRoundHalfEven(side, grid) + 1); }

}  // namespace

ChartSize SnapToGrid(ChartSize size, int gridSize) {
    const int grid = ClampGrid(gridSize);
    return {Snap(size.width, grid), Snap(size.height, grid)};
}

std::size_t ValuesKept(int width) { return width > 2 ? static_cast<std::size_t>(width - 2) : 0; }

int ChartY(int height, std::uint8_t value) {
    return static_cast<int>(height - DivRoundHalfEven(std::int64_t{value} * (height - 3), 100) - 2);
}

ChartDrawing DrawChart(ChartSize size, int gridSize, const std::vector<std::uint8_t>& values) {
    const int w = size.width, h = size.height, grid = ClampGrid(gridSize);
    ChartDrawing d;
    d.size = size;
    d.shadowFrame = {{0, h - 1}, {0, 0}, {w - 1, 0}};
    d.highlightFrame = {{w - 1, 0}, {w - 1, h - 1}, {0, h - 1}};
    for (int x = grid; x < w - 1; x += grid) d.grid.push_back({{x, 1}, {x, h - 1}});
    for (int y = grid; y < h - 1; y += grid) d.grid.push_back({{1, y}, {w - 1, y}});
    if (values.size() >= 3) {
        // From the newest down to the second oldest; the oldest held value is not drawn.
        int x = w - 2;
        for (std::size_t i = values.size() - 1; i >= 1; --i, --x) d.curve.push_back({x, ChartY(h, values[i])});
    }
    return d;
}

void ChartData::SetGridSize(int gridSize) { gridSize_ = ClampGrid(gridSize); }

ChartDrawing ChartData::Paint(ChartSize size) {
    const ChartSize snapped = SnapToGrid(size, gridSize_);
    const std::size_t kept = ValuesKept(snapped.width);
    if (values_.size() > kept) values_.erase(values_.begin(), values_.end() - static_cast<std::ptrdiff_t>(kept));
    return DrawChart(snapped, gridSize_, values_);
}

}  // namespace vexlo::switching
