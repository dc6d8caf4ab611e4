#pragma once
// TvxChart as data: the values it holds and what one paint draws. The Win32
// control keeps a ChartData, asks it for a ChartDrawing on WM_PAINT, takes the snapped size
// as its own, and draws exactly what the drawing lists.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexlo::switching {

// TGridSize: 2 .. 25; 5 at creation; the switcher's charts use 10.
inline constexpr int kMinGridSize = 2, kMaxGridSize = 25, kDefaultGridSize = 5;

inline constexpr std::uint32_t kChartBackground = 0x000000;  // black fill
inline constexpr std::uint32_t kChartGridColor = 0x808080;   // grey grid
inline constexpr std::uint32_t kChartCurveColor = 0x00FF00;  // lime curve (COLORREF and TColor alike)

struct ChartPoint {
    int x = 0, y = 0;
    bool operator==(const ChartPoint& o) const { return x == o.x && y == o.y; }
};

// One line as MoveTo(from), LineTo(to): GDI leaves out the last pixel, as a
// canvas line does.
struct ChartLine {
    ChartPoint from, to;
    bool operator==(const ChartLine& o) const { return from == o.from && to == o.to; }
};

struct ChartSize {
    int width = 0, height = 0;
    bool operator==(const ChartSize& o) const { return width == o.width && height == o.height; }
};

// The size a chart paints at: GridSize × (size / GridSize, to the nearest integer, a half to the even
// neighbour) + 1 for each side. 255 × 85 on grid 10 gives 261 × 81; 251 × 81 stays.
// A grid outside 2 .. 25 is taken as the nearest end of that range.
ChartSize SnapToGrid(ChartSize size, int gridSize);

// How many values a chart of that (snapped) width keeps: Width - 2, and none
// when that is below 0.
std::size_t ValuesKept(int width);

// What one paint draws, in drawing order, on a control of `size` (already snapped):
// the black fill of the whole control, the sunken frame as two polylines (button shadow,
// then button highlight), the grid lines (vertical, then horizontal), then the curve.
struct ChartDrawing {
    ChartSize size;
    std::vector<ChartPoint> shadowFrame;     // (0, H-1) -> (0, 0) -> (W-1, 0)
    std::vector<ChartPoint> highlightFrame;  // (W-1, 0) -> (W-1, H-1) -> (0, H-1)
    std::vector<ChartLine> grid;
    // The curve as one polyline from the newest value leftwards, one point per value except
    // the oldest held; empty when that leaves fewer than two points (fewer than three values).
    std::vector<ChartPoint> curve;
};

// What one paint draws for a snapped size and the values left after trimming, oldest first.
ChartDrawing DrawChart(ChartSize size, int gridSize, const std::vector<std::uint8_t>& values);

// The y of a value on a chart of that height: Height - round-half-even(value × (Height - 3)
// / 100) - 2; 0 lies at Height - 2, 100 at 1, and above 100 beyond the top.
int ChartY(int height, std::uint8_t value);

// A chart's data: its grid size and its values, oldest first. Values grow by one per
// AddValue and are trimmed only by Paint.
class ChartData {
public:
    void SetGridSize(int gridSize);
    int GridSize() const { return gridSize_; }
    void AddValue(std::uint8_t value) { values_.push_back(value); }
    const std::vector<std::uint8_t>& Values() const { return values_; }

    // One paint of a control now sized `size`: snaps the size, drops the oldest values
    // beyond what that width keeps, and says what to draw (the drawing's size is the
    // control's new size).
    ChartDrawing Paint(ChartSize size);

private:
    int gridSize_ = kDefaultGridSize;
    std::vector<std::uint8_t> values_;
};

}  // namespace vexlo::switching
