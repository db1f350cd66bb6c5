#pragma once

#include "GraphSeries.h"

#include <cstdint>
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
// into the surface are ever visited.
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

    // Pixels between neighbouring samples, limited to 1 .. kMaxXStep.
    void SetXStep(int pixels);
    int XStep() const { return xStep_; }

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

private:
    GraphSeries* Find(int id);

    int width_ = 0;
    int height_ = 0;
    int yRange_ = kDefaultYRange;
    int yDivision_ = kDefaultStep;
    int yDivisions_ = kDefaultYRange / kDefaultStep;
    int xStep_ = kDefaultStep;
    bool grid_ = true;
    std::vector<GraphSeries> series_;
};
