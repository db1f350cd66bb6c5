#pragma once

#include "GraphSeries.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// A pixel of the graph's drawing surface; (0, 0) is the top-left pixel, y grows downwards.
struct GraphPoint {
    int x = 0;
    int y = 0;
    bool operator==(const GraphPoint&) const = default;
};

// Rectangle of the plot inside the drawing surface, in pixels. right and bottom are the last
// column and row of the plot (inclusive): the plot's side lines are drawn on them.
struct GraphPlotRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const GraphPlotRect&) const = default;
};

// Everything the line graph shows, without any drawing: the surface size, the scales, the
// grid and the series, and the mapping from samples to pixels.
//
// Samples: value 0 lies on the plot's bottom line, and values from 0 to the y range span the
// full height of the surface (value x height / y range pixels above the bottom line, rounded
// towards zero). Points that would leave the plot vertically are held on its top or bottom
// line. Horizontally the newest sample of each series sits on the plot's left line and each
// older one x step pixels further right, so the traces move right as samples arrive; what
// runs past the right edge of the surface is not drawn, and only the samples that reach
// into the surface are ever visited. With an x span set instead of an x step, that many steps
// fill the plot from its left line to its right one (a window of so many seconds fills the
// graph whatever its width).
//
// The speed line, when set up, is drawn over the series on a scale of its own (0 on the
// bottom line, its top value at the top of the surface, the same rounding and holding as the
// series), its points placed as the series' are; a value that is not a number (a second
// without a fix) leaves a gap in it.
//
// Series are named by the id AddSeries returns (0, 1, 2 … in the order added); an id that
// this model did not hand out is ignored by every operation.
//
// Plain C++, no threads of its own; the graph control uses it on the GUI thread.
class GraphModel {
public:
    static constexpr int kDefaultStep = 10; // pixels: initial x step
    static constexpr int kDefaultYRange = 100;
    static constexpr int kMaxXStep = 1 << 16; // pixels
    static constexpr int kPlotMarginLeft = 4;
    static constexpr int kPlotMarginTop = 2;
    static constexpr int kPlotMarginRight = 2;
    static constexpr int kPlotMarginBottom = 2;

    // Size of the drawing surface in pixels; negative values are taken as 0. Stored samples
    // keep their values and are placed anew.
    void SetSize(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    GraphPlotRect Plot() const;

    // range: the value that reaches the top of the surface; must be positive, otherwise
    // nothing changes and false is returned. division: value step between horizontal grid
    // lines (range / division lines' worth of divisions); 0 or less shows no horizontal lines.
    bool SetYRange(int range, int division);
    int YRange() const { return yRange_; }
    int YDivision() const { return yDivision_; }
    int YDivisions() const { return yDivisions_; }

    // Pixels between neighbouring samples, limited to 1 .. kMaxXStep. Ends an x span.
    void SetXStep(int pixels);
    int XStep() const { return xStep_; }
    // Places the sample of age a (0 the newest) at plot left + a x plot width / steps
    // (rounded down), so that steps + 1 samples reach from the left line to the right one;
    // 0 or less goes back to the x step.
    void SetXSpan(int steps);
    int XSpan() const { return xSpan_; }
    // The column of the sample of this age (0 the newest), by the x span or the x step.
    int XOfAge(int age) const;

    // Whether the grid (the plot's side lines and the horizontal division lines) is drawn.
    void SetGrid(bool shown) { grid_ = shown; }
    bool Grid() const { return grid_; }

    // Appends an empty, visible series and returns its id. colorBgr: 0x00BBGGRR.
    int AddSeries(uint32_t colorBgr, int penWidth);
    int SeriesCount() const { return static_cast<int>(series_.size()); }
    // The series with this id, or null.
    const GraphSeries* Series(int id) const;

    // Each returns false, changing nothing, for an unknown id.
    bool ClearSeries(int id);
    bool AddSample(int id, double value);
    bool SetSeriesVisible(int id, bool visible);

    // Sets up the speed line: its colour (0x00BBGGRR), pen width and the speed (km/h) that
    // reaches the top of the surface. topKmh must be positive, otherwise nothing changes and
    // false is returned. Keeps the speeds already held.
    bool SetSpeedLine(uint32_t colorBgr, int penWidth, double topKmh);
    // Replaces the speeds, oldest first, one per sample place (NaN: none there); the newest
    // takes the place of the series' newest sample. False, storing nothing, without a speed
    // line. At most GraphSeries::kCapacity are kept, the newest.
    bool SetSpeeds(std::span<const double> kmh);
    // The speed line (colour, pen, the speeds held), or null when none is set up.
    const GraphSeries* SpeedLine() const { return speed_ ? &*speed_ : nullptr; }
    double SpeedTop() const { return speedTop_; }

    // Pixels above the plot's bottom line for a sample value, 0 .. plot height (rounded
    // towards zero; a value that is not a number lies on the bottom line).
    int ScaledValue(double value) const;

    // Rows of the horizontal grid lines, from the bottom up. They lie strictly between the
    // plot's top and bottom lines, one division apart (plot height / divisions pixels);
    // none when that step is 0.
    std::vector<int> HorizontalGridLines() const;

    // Points of a series as drawn, newest first: every sample whose x lies inside the surface
    // and, when there is one, the next older sample beyond the right edge, so that the line
    // to it runs off the edge. Empty for a hidden or empty series or an unknown id.
    std::vector<GraphPoint> DrawnPoints(int id) const;

    // The speed line as drawn, newest first, in runs split at the places without a speed:
    // the places whose x lies inside the surface and the next one beyond the right edge, as
    // for a series. Empty without a speed line or speeds.
    std::vector<std::vector<GraphPoint>> SpeedRuns() const;

private:
    GraphSeries* Find(int id);
    // Pixels above the bottom line of a value on a scale whose top is range.
    int Scaled(double value, double range) const;
    // How many of count samples are drawn: those inside the surface and one beyond.
    int DrawnCount(int count) const;

    int width_ = 0;
    int height_ = 0;
    int yRange_ = kDefaultYRange;
    int yDivision_ = kDefaultStep;
    int yDivisions_ = kDefaultYRange / kDefaultStep;
    int xStep_ = kDefaultStep;
    int xSpan_ = 0;
    bool grid_ = true;
    std::vector<GraphSeries> series_;
    std::optional<GraphSeries> speed_;
    double speedTop_ = 0;
};
