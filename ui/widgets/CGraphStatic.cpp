#include "CGraphStatic.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPen>

namespace {

QColor FromBgr(uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

QPen LinePen(const GraphSeries& line) {
    return QPen(FromBgr(line.ColorBgr()), line.PenWidth(), Qt::SolidLine, Qt::RoundCap,
                Qt::RoundJoin);
}

// A polyline through the points, each point drawn too (a run of one is a dot).
void DrawPolyline(QPainter& painter, const std::vector<GraphPoint>& points) {
    for (size_t i = 0; i < points.size(); ++i) {
        const QPoint point(points[i].x, points[i].y);
        if (i > 0) {
            painter.drawLine(QPoint(points[i - 1].x, points[i - 1].y), point);
        }
        painter.drawPoint(point);
    }
}

} // namespace

CGraphStatic::CGraphStatic(QWidget* parent) : QWidget(parent) {
    // Every pixel comes from the off-screen picture; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    Redraw();
}

bool CGraphStatic::SetYRange(int range, int division) {
    if (!model_.SetYRange(range, division)) {
        return false;
    }
    Redraw();
    return true;
}

void CGraphStatic::SetXStep(int pixels) {
    model_.SetXStep(pixels);
    Redraw();
}

void CGraphStatic::SetGrid(bool shown) {
    model_.SetGrid(shown);
    Redraw();
}

void CGraphStatic::SetXSpan(int steps) {
    model_.SetXSpan(steps);
    Redraw();
}

bool CGraphStatic::SetSpeedLine(uint32_t colorBgr, int penWidth, double topKmh) {
    if (!model_.SetSpeedLine(colorBgr, penWidth, topKmh)) {
        return false;
    }
    Redraw();
    return true;
}

void CGraphStatic::SetSpeeds(std::span<const double> kmh) {
    model_.SetSpeeds(kmh);
}

CGraphStatic::SeriesId CGraphStatic::AddSeries(uint32_t colorBgr, int penWidth) {
    return model_.AddSeries(colorBgr, penWidth);
}

void CGraphStatic::ClearSeries(SeriesId series) {
    model_.ClearSeries(series);
}

void CGraphStatic::AddSample(SeriesId series, double value) {
    if (model_.AddSample(series, value)) {
        Redraw();
    }
}

void CGraphStatic::AddSamples(SeriesId series, std::span<const double> values) {
    if (model_.Series(series) == nullptr) {
        return;
    }
    for (double value : values) {
        model_.AddSample(series, value);
    }
    Redraw();
}

void CGraphStatic::SetSamples(SeriesId series, std::span<const double> values) {
    if (model_.Series(series) == nullptr) {
        return;
    }
    model_.ClearSeries(series);
    for (double value : values) {
        model_.AddSample(series, value);
    }
}

void CGraphStatic::SetSeriesVisible(SeriesId series, bool visible) {
    if (model_.SetSeriesVisible(series, visible)) {
        Redraw();
    }
}

int CGraphStatic::SampleCount(SeriesId series) const {
    const GraphSeries* found = model_.Series(series);
    return found != nullptr ? found->Count() : 0;
}

void CGraphStatic::Redraw() {
    model_.SetSize(width(), height());
    if (picture_.size() != size()) {
        picture_ = QImage(size(), QImage::Format_RGB32);
    }
    picture_.fill(kBackground);
    if (!picture_.isNull()) {
        QPainter painter(&picture_);
        if (model_.Grid()) {
            DrawGrid(painter);
        }
        for (SeriesId series = 0; series < model_.SeriesCount(); ++series) {
            DrawSeries(painter, series);
        }
        DrawSpeed(painter);
    }
    update();
}

void CGraphStatic::DrawGrid(QPainter& painter) const {
    const GraphPlotRect plot = model_.Plot();
    painter.setPen(QPen(QColor(kGridColor), 1));
    painter.drawLine(plot.left, plot.top, plot.left, plot.bottom);
    painter.drawLine(plot.right, plot.top, plot.right, plot.bottom);
    for (int y : model_.HorizontalGridLines()) {
        painter.drawLine(plot.left, y, plot.right, y);
    }
}

void CGraphStatic::DrawSeries(QPainter& painter, SeriesId series) const {
    const std::vector<GraphPoint> points = model_.DrawnPoints(series);
    if (points.empty()) {
        return;
    }
    painter.setPen(LinePen(*model_.Series(series)));
    DrawPolyline(painter, points);
}

void CGraphStatic::DrawSpeed(QPainter& painter) const {
    const GraphSeries* line = model_.SpeedLine();
    if (line == nullptr) {
        return;
    }
    painter.setPen(LinePen(*line));
    for (const std::vector<GraphPoint>& run : model_.SpeedRuns()) {
        DrawPolyline(painter, run);
    }
}

void CGraphStatic::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.drawImage(event->rect(), picture_, event->rect());
}

void CGraphStatic::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Redraw();
}
