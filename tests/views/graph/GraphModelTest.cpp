#include "GraphModel.h"
#include "GraphTestSuites.h"

#include <QTest>

#include <climits>
#include <vector>

namespace {

// The main window's graph: 760 x 104, values 0 .. 200 in four divisions, 13 px per sample.
GraphModel MainWindowModel() {
    GraphModel model;
    model.SetSize(760, 104);
    model.SetYRange(200, 50);
    model.SetXStep(13);
    model.SetGrid(true);
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
char* toString(const GraphPoint& p) {
    return QTest::toString(QString("(%1, %2)").arg(p.x).arg(p.y));
}

class GraphModelTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithDefaultScales() {
        GraphModel model;
        QCOMPARE(model.YRange(), 100);
        QCOMPARE(model.YDivisions(), 10);
        QCOMPARE(model.XStep(), 10);
        QVERIFY(model.Grid());
        model.SetSize(50, 20);
        QCOMPARE(model.Plot(), (GraphPlotRect{4, 2, 48, 18}));
    }

    void mapsMainWindowValuesToPixels() {
        GraphModel model = MainWindowModel();
        QCOMPARE(model.Plot(), (GraphPlotRect{4, 2, 758, 102}));
        // value x 104 / 200, rounded towards zero, measured up from row 102.
        QCOMPARE(model.ScaledValue(0), 0);
        QCOMPARE(model.ScaledValue(50), 26);
        QCOMPARE(model.ScaledValue(101), 52);
        QCOMPARE(model.ScaledValue(150), 78);
        QCOMPARE(model.ScaledValue(153), 79);

        const int x = model.AddSeries(0xFF0000, 1);
        const int y = model.AddSeries(0x00FFFF, 1);
        const int z = model.AddSeries(0x0000FF, 1);
        QCOMPARE(x, 0);
        QCOMPARE(z, 2);
        AddAll(model, x, {150, 160, 140});
        AddAll(model, y, {100});
        AddAll(model, z, {50});
        const std::vector<GraphPoint> xs = model.DrawnPoints(x);
        QCOMPARE(xs.size(), size_t{3});
        QCOMPARE(xs[0], (GraphPoint{4, 102 - 72})); // newest (140) on the left line
        QCOMPARE(xs[1], (GraphPoint{17, 102 - 83}));
        QCOMPARE(xs[2], (GraphPoint{30, 102 - 78}));
        QCOMPARE(model.DrawnPoints(y)[0], (GraphPoint{4, 50}));
        QCOMPARE(model.DrawnPoints(z)[0], (GraphPoint{4, 76}));
    }

    void holdsOutOfRangeValuesOnThePlotLines() {
        GraphModel model = MainWindowModel();
        const int id = model.AddSeries(0xFF0000, 1);
        // From 193 up the scaled value passes the plot's top line; negative values lie below 0.
        AddAll(model, id, {192, 193, 200, 100000, INT_MAX, -1, -100000, INT_MIN});
        QCOMPARE(Ys(model.DrawnPoints(id)), (std::vector<int>{102, 102, 102, 2, 2, 2, 2, 3}));
    }

    void drawsGridLinesOneDivisionApart() {
        GraphModel model = MainWindowModel();
        QCOMPARE(model.YDivisions(), 4);
        QCOMPARE(model.HorizontalGridLines(), (std::vector<int>{77, 52, 27}));

        model.SetYRange(100, 10); // step 10 over the 100-row plot: the top line is not repeated
        QCOMPARE(model.HorizontalGridLines(),
                 (std::vector<int>{92, 82, 72, 62, 52, 42, 32, 22, 12}));

        model.SetYRange(200, 30); // 6 divisions, step 16, remainder left at the top
        QCOMPARE(model.HorizontalGridLines(), (std::vector<int>{86, 70, 54, 38, 22, 6}));

        model.SetSize(100, 10); // 6 rows of plot for 6 divisions: step 1, lines 7 .. 3
        QCOMPARE(model.HorizontalGridLines().size(), size_t{5});
        model.SetYRange(200, 20); // 10 divisions over 6 rows: step 0, no lines
        QVERIFY(model.HorizontalGridLines().empty());
    }

    void refusesRangesThatCannotScale() {
        GraphModel model = MainWindowModel();
        QVERIFY(!model.SetYRange(0, 50));
        QVERIFY(!model.SetYRange(-200, 50));
        QCOMPARE(model.YRange(), 200);
        QCOMPARE(model.YDivisions(), 4);

        QVERIFY(model.SetYRange(200, 0)); // no division: scales, but no horizontal lines
        QCOMPARE(model.YDivisions(), 0);
        QVERIFY(model.HorizontalGridLines().empty());
        QVERIFY(model.SetYRange(200, -50));
        QVERIFY(model.HorizontalGridLines().empty());
        QCOMPARE(model.ScaledValue(100), 52);

        model.SetYRange(200, 50);
        model.SetSize(0, 0); // nothing to draw on, nothing to fail on
        QCOMPARE(model.ScaledValue(150), 0);
        QVERIFY(model.HorizontalGridLines().empty());
        const int id = model.AddSeries(0xFF0000, 1);
        model.AddSample(id, 10);
        QCOMPARE(model.DrawnPoints(id).size(), size_t{1});
    }

    void scrollsOnceTheWidthIsFull() {
        GraphModel model = MainWindowModel();
        const int id = model.AddSeries(0xFF0000, 1);
        for (int i = 0; i < 59; ++i) {
            model.AddSample(id, 0);
        }
        // 59 points fit (x 4 .. 758); the 59th is the last inside the 760 px surface.
        std::vector<GraphPoint> points = model.DrawnPoints(id);
        QCOMPARE(points.size(), size_t{59});
        QCOMPARE(points.back().x, 4 + 58 * 13);

        model.AddSample(id, 20);
        model.AddSample(id, 200);
        points = model.DrawnPoints(id);
        // One more point beyond the edge carries the line off it; older ones are not visited.
        QCOMPARE(points.size(), size_t{60});
        QCOMPARE(points.back().x, 771);
        QCOMPARE(points[0], (GraphPoint{4, 2}));
        QCOMPARE(points[1], (GraphPoint{17, 102 - 10}));
        QCOMPARE(points[2], (GraphPoint{30, 102}));
        QCOMPARE(model.Series(id)->Count(), 61);
    }

    void ringKeepsTheNewestSamplesAcrossTheWrap() {
        GraphModel model;
        model.SetSize(GraphSeries::kCapacity + 100, 104);
        model.SetYRange(104, 0); // one pixel per unit
        model.SetXStep(1);
        const int id = model.AddSeries(0xFF0000, 1);
        for (int i = 0; i < GraphSeries::kCapacity; ++i) {
            model.AddSample(id, i % 100);
        }
        const GraphSeries* series = model.Series(id);
        QCOMPARE(series->WriteIndex(), 0);
        QCOMPARE(series->Count(), GraphSeries::kCapacity);
        model.AddSample(id, 77); // overwrites sample 0
        QCOMPARE(series->WriteIndex(), 1);
        QCOMPARE(series->Count(), GraphSeries::kCapacity);
        QCOMPARE(series->Newest(0), 77);
        QCOMPARE(series->Newest(1), 1023 % 100);
        QCOMPARE(series->Newest(GraphSeries::kCapacity - 1), 1); // sample 0 is gone

        // The whole ring is still drawn, newest first, after the write index wrapped.
        const std::vector<GraphPoint> points = model.DrawnPoints(id);
        QCOMPARE(points.size(), size_t{GraphSeries::kCapacity});
        QCOMPARE(points.front(), (GraphPoint{4, 102 - 77}));
        QCOMPARE(points.back(), (GraphPoint{4 + 1023, 102 - 1}));
    }

    void visitsOnlyWhatFitsWhateverTheCount() {
        GraphModel model;
        model.SetSize(100, 50);
        model.SetXStep(1);
        const int id = model.AddSeries(0xFF0000, 1);
        for (int i = 0; i < 100 * GraphSeries::kCapacity; ++i) {
            model.AddSample(id, i);
        }
        QCOMPARE(model.DrawnPoints(id).size(), size_t{96 + 1}); // x 4 .. 99, one beyond

        model.SetXStep(0); // taken as 1
        QCOMPARE(model.XStep(), 1);
        model.SetXStep(INT_MAX); // limited; the point beyond the edge stays representable
        QCOMPARE(model.XStep(), GraphModel::kMaxXStep);
        const std::vector<GraphPoint> points = model.DrawnPoints(id);
        QCOMPARE(points.size(), size_t{2});
        QCOMPARE(points[1].x, 4 + GraphModel::kMaxXStep);
    }

    void clearsAndIgnoresUnknownSeries() {
        GraphModel model = MainWindowModel();
        const int x = model.AddSeries(0xFF0000, 1);
        const int y = model.AddSeries(0x00FFFF, 0);
        QCOMPARE(model.Series(y)->PenWidth(), 1);
        AddAll(model, x, {1, 2, 3});
        AddAll(model, y, {4, 5});

        QVERIFY(!model.AddSample(-1, 9));
        QVERIFY(!model.AddSample(2, 9));
        QVERIFY(!model.ClearSeries(2));
        QVERIFY(!model.ClearSeries(-1));
        QVERIFY(!model.SetSeriesVisible(7, false));
        QVERIFY(model.Series(2) == nullptr);
        QVERIFY(model.DrawnPoints(2).empty());
        QCOMPARE(model.Series(x)->Count(), 3);
        QCOMPARE(model.Series(y)->Count(), 2);

        QVERIFY(model.ClearSeries(x));
        QCOMPARE(model.Series(x)->Count(), 0);
        QCOMPARE(model.Series(x)->WriteIndex(), 0);
        QVERIFY(model.DrawnPoints(x).empty()); // an empty series draws nothing
        QCOMPARE(model.Series(y)->Count(), 2);
        model.AddSample(x, 150);
        QCOMPARE(model.DrawnPoints(x), (std::vector<GraphPoint>{{4, 24}}));

        QVERIFY(model.SetSeriesVisible(y, false));
        QVERIFY(model.DrawnPoints(y).empty());
        QCOMPARE(model.Series(y)->Count(), 2);
    }

    void placesStoredSamplesAnewAfterChanges() {
        GraphModel model = MainWindowModel();
        const int id = model.AddSeries(0xFF0000, 1);
        AddAll(model, id, {100, 100});
        model.SetSize(760, 208);
        model.SetXStep(20);
        QCOMPARE(model.DrawnPoints(id), (std::vector<GraphPoint>{{4, 206 - 104}, {24, 206 - 104}}));
    }
};

int RunGraphModelTests(int argc, char** argv) {
    GraphModelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "GraphModelTest.moc"
