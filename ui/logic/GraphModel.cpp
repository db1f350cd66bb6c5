#include "GraphModel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

void GraphModel::SetSize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
}

GraphPlotRect GraphModel::Plot() const {
    return {kPlotMarginLeft, kPlotMarginTop, width_ - kPlotMarginRight,
            height_ - kPlotMarginBottom};
}

bool GraphModel::SetYRange(int range, int division) {
    if (range <= 0) {
        return false;
    }
    yRange_ = range;
    yDivision_ = division;
    yDivisions_ = division > 0 ? range / division : 0;
    return true;
}

void GraphModel::SetXStep(int pixels) {
    xStep_ = std::clamp(pixels, 1, kMaxXStep);
}

int GraphModel::AddSeries(uint32_t colorBgr, int penWidth) {
    series_.emplace_back(colorBgr, penWidth);
    return SeriesCount() - 1;
}

const GraphSeries* GraphModel::Series(int id) const {
    if (id < 0 || id >= SeriesCount()) {
        return nullptr;
    }
    return &series_[static_cast<size_t>(id)];
}

GraphSeries* GraphModel::Find(int id) {
    return const_cast<GraphSeries*>(Series(id));
}

bool GraphModel::ClearSeries(int id) {
    GraphSeries* series = Find(id);
    if (series == nullptr) {
        return false;
    }
    series->Clear();
    return true;
}

bool GraphModel::AddSample(int id, double value) {
    GraphSeries* series = Find(id);
    if (series == nullptr) {
        return false;
    }
    series->Add(value);
    return true;
}

bool GraphModel::SetSeriesVisible(int id, bool visible) {
    GraphSeries* series = Find(id);
    if (series == nullptr) {
        return false;
    }
    series->SetVisible(visible);
    return true;
}

int GraphModel::ScaledValue(double value) const {
    const GraphPlotRect plot = Plot();
    const int top = std::max(plot.bottom - plot.top, 0);
    const double scaled = std::trunc(value * height_ / yRange_);
    if (!(scaled > 0)) // also NaN
        return 0;
    return scaled >= top ? top : static_cast<int>(scaled);
}

std::vector<int> GraphModel::HorizontalGridLines() const {
    std::vector<int> rows;
    const GraphPlotRect plot = Plot();
    if (yDivisions_ <= 0) {
        return rows;
    }
    const int step = (plot.bottom - plot.top) / yDivisions_;
    if (step <= 0) {
        return rows;
    }
    for (int y = plot.bottom - step; y > plot.top; y -= step) {
        rows.push_back(y);
    }
    return rows;
}

std::vector<GraphPoint> GraphModel::DrawnPoints(int id) const {
    std::vector<GraphPoint> points;
    const GraphSeries* series = Series(id);
    if (series == nullptr || !series->IsVisible()) {
        return points;
    }
    const GraphPlotRect plot = Plot();
    // Samples whose x lies inside the surface, plus one beyond it for the clipped line.
    const int inside = width_ > plot.left ? (width_ - 1 - plot.left) / xStep_ + 1 : 0;
    const int count = std::min(series->Count(), inside + 1);
    points.reserve(static_cast<size_t>(count));
    for (int age = 0; age < count; ++age) {
        points.push_back(
            {plot.left + age * xStep_, plot.bottom - ScaledValue(series->Newest(age))});
    }
    return points;
}
