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
    xSpan_ = 0;
}

void GraphModel::SetXSpan(int steps) {
    xSpan_ = std::max(steps, 0);
}

int GraphModel::XOfAge(int age) const {
    const GraphPlotRect plot = Plot();
    if (xSpan_ > 0) {
        const int64_t width = std::max(plot.right - plot.left, 0);
        return plot.left + static_cast<int>(int64_t{age} * width / xSpan_);
    }
    return static_cast<int>(std::min<int64_t>(plot.left + int64_t{age} * xStep_, INT32_MAX));
}

int GraphModel::DrawnCount(int count) const {
    // Ages only grow to the right: stop at the first one past the edge, which is drawn too.
    int drawn = 0;
    while (drawn < count) {
        const int x = XOfAge(drawn);
        ++drawn;
        if (x > width_ - 1)
            break;
    }
    return drawn;
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

bool GraphModel::SetSpeedLine(uint32_t colorBgr, int penWidth, double topKmh) {
    if (!(topKmh > 0))
        return false;
    GraphSeries line(colorBgr, penWidth);
    if (speed_) {
        for (int age = speed_->Count() - 1; age >= 0; --age)
            line.Add(speed_->Newest(age));
    }
    speed_ = line;
    speedTop_ = topKmh;
    return true;
}

bool GraphModel::SetSpeeds(std::span<const double> kmh) {
    if (!speed_)
        return false;
    speed_->Clear();
    for (double value : kmh)
        speed_->Add(value);
    return true;
}

int GraphModel::ScaledValue(double value) const {
    return Scaled(value, yRange_);
}

int GraphModel::Scaled(double value, double range) const {
    const GraphPlotRect plot = Plot();
    const int top = std::max(plot.bottom - plot.top, 0);
    const double scaled = std::trunc(value * height_ / range);
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
    const int count = DrawnCount(series->Count());
    points.reserve(static_cast<size_t>(count));
    for (int age = 0; age < count; ++age) {
        points.push_back({XOfAge(age), plot.bottom - ScaledValue(series->Newest(age))});
    }
    return points;
}

std::vector<std::vector<GraphPoint>> GraphModel::SpeedRuns() const {
    std::vector<std::vector<GraphPoint>> runs;
    if (!speed_)
        return runs;
    const GraphPlotRect plot = Plot();
    const int count = DrawnCount(speed_->Count());
    bool inRun = false;
    for (int age = 0; age < count; ++age) {
        const double kmh = speed_->Newest(age);
        if (std::isnan(kmh)) {
            inRun = false;
            continue;
        }
        if (!inRun)
            runs.emplace_back();
        inRun = true;
        runs.back().push_back({XOfAge(age), plot.bottom - Scaled(kmh, speedTop_)});
    }
    return runs;
}
