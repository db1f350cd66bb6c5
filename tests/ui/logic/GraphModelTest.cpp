#include "ui/logic/GraphModel.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

namespace {

// The main window's graph: 760 x 104, values 0 .. 200 in four divisions, 13 px per sample.
GraphModel MainWindowModel() {
    GraphModel model;
    model.SetSize(760, 104);
    model.SetYRange(200, 50);
    model.SetXStep(13);
    return model;
}

void AddAll(GraphModel& model, int id, const std::vector<int>& values) {
    for (int value : values) {
        model.AddSample(id, value);
    }
}

std::vector<int> Ys(const std::vector<GraphPoint>& points) {
    std::vector<int> ys;
    for (const GraphPoint& p : points) {
        ys.push_back(p.y);
    }
    return ys;
}

} // namespace

// Failure messages print points as (x, y).
void PrintTo(const GraphPoint& p, std::ostream* out) {
    *out << '(' << p.x << ", " << p.y << ')';
}

void PrintTo(const GraphPlotRect& r, std::ostream* out) {
    *out << '(' << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ')';
}

TEST(GraphModel, MapsValuesToPixelsAndHoldsThemInThePlot) {
    GraphModel model = MainWindowModel();
    EXPECT_EQ(model.Plot(), (GraphPlotRect{4, 2, 758, 102}));
    const int id = model.AddSeries(0xFF0000, 1);
    AddAll(model, id, {150, 160, 140});
    // value x 104 / 200 rounded towards zero, up from row 102; the newest (140) on the
    // left line, older ones 13 px apart to the right.
    EXPECT_EQ(model.DrawnPoints(id),
              (std::vector<GraphPoint>{{4, 102 - 72}, {17, 102 - 83}, {30, 102 - 78}}));

    // From 193 up the scaled value passes the plot's top line; negative values lie below 0.
    model.ClearSeries(id);
    AddAll(model, id, {192, 193, 100000, INT_MAX, -1, INT_MIN});
    EXPECT_EQ(Ys(model.DrawnPoints(id)), (std::vector<int>{102, 102, 2, 2, 2, 3}));

    // Fractions count (151.93 reaches the 79th pixel, 151.9 not); what is no number lies on
    // the bottom line.
    model.ClearSeries(id);
    for (double value : {151.9, 151.93, std::nan(""), HUGE_VAL, -HUGE_VAL})
        model.AddSample(id, value);
    EXPECT_EQ(Ys(model.DrawnPoints(id)), (std::vector<int>{102, 2, 102, 102 - 79, 102 - 78}));
    EXPECT_EQ(model.Series(id)->Newest(4), 151.9);
}

TEST(GraphModel, DrawsGridLinesOneDivisionApart) {
    GraphModel model = MainWindowModel();
    EXPECT_EQ(model.HorizontalGridLines(), (std::vector<int>{77, 52, 27}));
    model.SetYRange(100, 10); // step 10 over the 100-row plot: the top line is not repeated
    EXPECT_EQ(model.HorizontalGridLines(), (std::vector<int>{92, 82, 72, 62, 52, 42, 32, 22, 12}));
    model.SetSize(100, 10); // 10 divisions over 6 rows: step 0, no lines
    EXPECT_TRUE(model.HorizontalGridLines().empty());
}

TEST(GraphModel, RefusesScalesThatCannotWork) {
    GraphModel model = MainWindowModel();
    EXPECT_TRUE(!model.SetYRange(0, 50));
    EXPECT_TRUE(!model.SetYRange(-200, 50));
    EXPECT_EQ(model.YRange(), 200);
    EXPECT_TRUE(model.SetYRange(200, 0)); // scales, but no horizontal lines
    EXPECT_TRUE(model.HorizontalGridLines().empty());

    model.SetXStep(0);
    EXPECT_EQ(model.XStep(), 1);
    model.SetXStep(INT_MAX); // limited, so the point beyond the edge stays representable
    const int id = model.AddSeries(0xFF0000, 1);
    AddAll(model, id, {1, 2, 3});
    EXPECT_EQ(model.DrawnPoints(id).back().x, 4 + GraphModel::kMaxXStep);

    model.SetYRange(200, 50);
    model.SetSize(0, 0); // nothing to draw on, nothing to fail on
    EXPECT_TRUE(model.HorizontalGridLines().empty());
    EXPECT_EQ(model.DrawnPoints(id), (std::vector<GraphPoint>{{4, -2}}));
}

TEST(GraphModel, ScrollsOnceTheWidthIsFull) {
    GraphModel model = MainWindowModel();
    const int id = model.AddSeries(0xFF0000, 1);
    for (int i = 0; i < 500; ++i) {
        model.AddSample(id, 0);
    }
    AddAll(model, id, {20, 200});
    // 59 points fit (x 4 .. 758) and one more beyond the edge carries the line off it;
    // the older samples are not visited.
    const std::vector<GraphPoint> points = model.DrawnPoints(id);
    EXPECT_EQ(points.size(), size_t{60});
    EXPECT_EQ(points.back().x, 771);
    EXPECT_EQ(points[0], (GraphPoint{4, 2}));
    EXPECT_EQ(points[1], (GraphPoint{17, 102 - 10}));
    EXPECT_EQ(points[2], (GraphPoint{30, 102}));
}

TEST(GraphModel, RingKeepsTheNewestSamplesAcrossTheWrap) {
    GraphModel model;
    model.SetSize(GraphSeries::kCapacity + 100, 104);
    model.SetYRange(104, 0); // one pixel per unit
    model.SetXStep(1);
    const int id = model.AddSeries(0xFF0000, 1);
    for (int i = 0; i <= GraphSeries::kCapacity; ++i) {
        model.AddSample(id, i % 100);
    }
    // The 1025th sample overwrote sample 0.
    const GraphSeries* series = model.Series(id);
    EXPECT_EQ(series->WriteIndex(), 1);
    EXPECT_EQ(series->Count(), GraphSeries::kCapacity);
    EXPECT_EQ(series->Newest(0), 1024 % 100);
    EXPECT_EQ(series->Newest(GraphSeries::kCapacity - 1), 1);

    // The whole ring is still drawn, newest first, after the write index wrapped.
    const std::vector<GraphPoint> points = model.DrawnPoints(id);
    EXPECT_EQ(points.size(), size_t{GraphSeries::kCapacity});
    EXPECT_EQ(points.front(), (GraphPoint{4, 102 - 24}));
    EXPECT_EQ(points.back(), (GraphPoint{4 + 1023, 102 - 1}));
}

TEST(GraphModel, ClearsAndIgnoresUnknownSeries) {
    GraphModel model = MainWindowModel();
    const int x = model.AddSeries(0xFF0000, 1);
    const int y = model.AddSeries(0x00FFFF, 1);
    AddAll(model, x, {1, 2, 3});
    AddAll(model, y, {4, 5});
    EXPECT_TRUE(!model.AddSample(-1, 9));
    EXPECT_TRUE(!model.AddSample(2, 9));
    EXPECT_TRUE(!model.ClearSeries(2));

    EXPECT_TRUE(model.ClearSeries(x));
    EXPECT_EQ(model.Series(x)->Count(), 0);
    EXPECT_EQ(model.Series(x)->WriteIndex(), 0);
    EXPECT_TRUE(model.DrawnPoints(x).empty()); // an empty series draws nothing
    EXPECT_EQ(model.Series(y)->Count(), 2);
    model.AddSample(x, 150);
    EXPECT_EQ(model.DrawnPoints(x), (std::vector<GraphPoint>{{4, 24}}));
}

TEST(GraphModel, TheSpeedLineHasItsOwnScaleAndGapsWithoutAFix) {
    GraphModel model = MainWindowModel();
    const std::vector<double> kmh = {50, std::nan(""), 100, 120, std::nan(""), 400};
    EXPECT_FALSE(model.SetSpeeds(kmh)) << "no speed line set up";
    EXPECT_TRUE(model.SpeedRuns().empty());
    EXPECT_FALSE(model.SetSpeedLine(0x00FF00, 2, 0));
    ASSERT_TRUE(model.SetSpeedLine(0x00FF00, 2, 200));
    ASSERT_TRUE(model.SetSpeeds(kmh));
    // Newest first (400 held at the top line), a gap, then 120 and 100, a gap, then 50; km/h
    // x 104 / 200 above the bottom line, placed as the series' samples are.
    EXPECT_EQ(model.SpeedRuns(),
              (std::vector<std::vector<GraphPoint>>{
                  {{4, 2}}, {{30, 102 - 62}, {43, 102 - 52}}, {{69, 102 - 26}}}));
    // The scale can change under the speeds held; no speeds, no line.
    ASSERT_TRUE(model.SetSpeedLine(0x00FF00, 2, 400));
    EXPECT_EQ(model.SpeedRuns()[1].front(), (GraphPoint{30, 102 - 31}));
    model.SetSpeeds({});
    EXPECT_TRUE(model.SpeedRuns().empty());

    // A span of 60 steps: 61 places from the left line (4) to the right one (758) whatever
    // the width; a step given ends the span.
    model.SetXSpan(60);
    EXPECT_EQ(model.XOfAge(1), 4 + 754 / 60);
    EXPECT_EQ(model.XOfAge(60), 758);
    model.SetSize(380, 104);
    EXPECT_EQ(model.XOfAge(60), 378);
    model.SetXStep(13);
    EXPECT_EQ(model.XOfAge(2), 30);
}
