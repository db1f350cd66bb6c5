#pragma once

#include "ui/logic/GraphModel.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <span>
#include <vector>

// A small line graph of series (the main window shows the three G-sensor axes in it).
//
// The picture is kept in an off-screen image of the widget's size: every change of the data
// or the settings redraws that image at once, and painting only copies it to the screen, so
// the graph never flickers. The picture: a near-black background, with the grid shown the
// plot's left and right lines and one horizontal line per y division in dark grey, then each
// visible series in the order added, newest sample at the plot's left line and older samples
// further right (GraphModel gives the exact pixels). When a trace reaches the right edge the
// oldest samples scroll out of view; redrawing touches only the samples that are visible.
// With a speed line set up and speeds given, the speed is drawn last, over the series, in its
// own colour and on its own scale, with gaps where a second has no speed; without one the
// picture is the series' alone.
//
// Ownership: the graph owns its series. Threads: GUI thread only. Units: pixels; colours
// 0x00BBGGRR; sample values in the caller's units, scaled by the y range; speeds in km/h.
class CGraphStatic : public QWidget {
    Q_OBJECT
public:
    using SeriesId = int;

    static constexpr QRgb kBackground = 0xFF010000; // RGB (1, 0, 0)
    static constexpr QRgb kGridColor = 0xFF292929;  // RGB (41, 41, 41)

    explicit CGraphStatic(QWidget* parent = nullptr);

    // Values from 0 to range span the graph's height; range / division horizontal divisions
    // (no horizontal lines when division is 0 or less). A range of 0 or less is refused
    // (returns false, nothing changes). Redraws.
    bool SetYRange(int range, int division);
    // Pixels between neighbouring samples (1 .. GraphModel::kMaxXStep). Redraws.
    void SetXStep(int pixels);
    // Shows or hides the grid. Redraws.
    void SetGrid(bool shown);
    // steps sample places fill the plot's width (GraphModel::SetXSpan; 0 or less: back to the
    // x step). Redraws.
    void SetXSpan(int steps);

    // Appends an empty series drawn with a solid pen of colorBgr (0x00BBGGRR) and penWidth
    // pixels; returns its id. Does not redraw (an empty series draws nothing).
    SeriesId AddSeries(uint32_t colorBgr, int penWidth = 1);

    // Forgets the samples of a series. Does not redraw: call Redraw (or add samples) for the
    // picture to follow. Unknown ids are ignored.
    void ClearSeries(SeriesId series);
    // Adds one sample to a series and redraws. Unknown ids are ignored.
    void AddSample(SeriesId series, double value);
    // Adds samples in order (oldest first) and redraws once. Unknown ids are ignored.
    void AddSamples(SeriesId series, std::span<const double> values);
    // Replaces a series' samples with values (oldest first) without redrawing, so that
    // several series can be refilled for one Redraw. Unknown ids are ignored.
    void SetSamples(SeriesId series, std::span<const double> values);
    // Shows or hides a series (series are visible when added). Redraws.
    void SetSeriesVisible(SeriesId series, bool visible);

    // Sets up the speed line: a solid pen of colorBgr and penWidth pixels, topKmh reaching the
    // graph's top. A top of 0 or less is refused (false, nothing changes). Redraws.
    bool SetSpeedLine(uint32_t colorBgr, int penWidth, double topKmh);
    // Replaces the speeds (oldest first, one per sample place, NaN: no speed there) without
    // redrawing, like SetSamples; an empty list draws no speed line. Ignored without a speed
    // line.
    void SetSpeeds(std::span<const double> kmh);

    // Draws the whole picture into the off-screen image and schedules a repaint.
    void Redraw();

    // Read-outs.
    const GraphModel& Model() const { return model_; }
    // Samples the series holds (at most GraphSeries::kCapacity); 0 for an unknown id.
    int SampleCount(SeriesId series) const;
    // Pixels of the series' points, newest first, as a redraw places them (what the picture
    // shows, except after ClearSeries until the next redraw).
    std::vector<GraphPoint> DrawnPoints(SeriesId series) const {
        return model_.DrawnPoints(series);
    }
    // The speed line's runs as a redraw places them, newest first (GraphModel::SpeedRuns).
    std::vector<std::vector<GraphPoint>> SpeedRuns() const { return model_.SpeedRuns(); }
    // The off-screen picture as last drawn.
    const QImage& Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void DrawGrid(QPainter& painter) const;
    void DrawSeries(QPainter& painter, SeriesId series) const;
    void DrawSpeed(QPainter& painter) const;

    GraphModel model_;
    QImage picture_;
};
