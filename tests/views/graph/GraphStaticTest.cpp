#include "CGraphStatic.h"
#include "GraphTestSuites.h"

#include <QTest>

#include <memory>
#include <vector>

namespace {

constexpr QRgb kBackground = qRgb(1, 0, 0);
constexpr QRgb kGrid = qRgb(41, 41, 41);
constexpr QRgb kBlue = qRgb(0, 0, 255);
constexpr QRgb kYellow = qRgb(255, 255, 0);
constexpr QRgb kRed = qRgb(255, 0, 0);

// The graph as the main window sets it up: 760 x 104, values 0 .. 200 in four divisions,
// 13 px per sample, grid on, the x, y and z series in blue, yellow and red.
struct MainWindowGraph {
    std::unique_ptr<CGraphStatic> graph = std::make_unique<CGraphStatic>();
    CGraphStatic::SeriesId x = -1;
    CGraphStatic::SeriesId y = -1;
    CGraphStatic::SeriesId z = -1;

    MainWindowGraph() {
        graph->resize(760, 104);
        QVERIFY(graph->SetYRange(200, 50));
        graph->SetXStep(13);
        graph->SetGrid(1);
        x = graph->AddSeries(0xFF0000, 1);
        y = graph->AddSeries(0x00FFFF, 1);
        z = graph->AddSeries(0x0000FF, 1);
        graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(graph.get()));
    }

    // What the main window does on a status refresh: refill from the G-sensor records.
    void Refill(const std::vector<int>& xs, const std::vector<int>& ys,
                const std::vector<int>& zs) {
        for (CGraphStatic::SeriesId series : {x, y, z}) {
            graph->ClearSeries(series);
        }
        for (size_t j = 0; j < xs.size(); ++j) {
            graph->AddSample(x, xs[j] + 150);
            graph->AddSample(y, ys[j] + 100);
            graph->AddSample(z, zs[j] + 50);
        }
    }

    // Colour the user sees at (px, py).
    QRgb At(int px, int py) const { return graph->grab().toImage().pixel(px, py) | 0xFF000000; }
};

} // namespace

class GraphStaticTest : public QObject {
    Q_OBJECT
private slots:
    void drawsBackgroundAndGrid() {
        MainWindowGraph w;
        const QImage seen = w.graph->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(seen, w.graph->Picture());
        QCOMPARE(w.At(0, 0), kBackground);
        QCOMPARE(w.At(759, 103), kBackground);
        QCOMPARE(w.At(2, 50), kBackground);
        // Side lines of the plot, top to bottom.
        for (int py : {2, 50, 102}) {
            QCOMPARE(w.At(4, py), kGrid);
            QCOMPARE(w.At(758, py), kGrid);
        }
        QCOMPARE(w.At(4, 1), kBackground);
        QCOMPARE(w.At(4, 103), kBackground);
        // Division lines between them; the plot's top and bottom rows stay empty.
        for (int py : {77, 52, 27}) {
            QCOMPARE(w.At(4, py), kGrid);
            QCOMPARE(w.At(400, py), kGrid);
            QCOMPARE(w.At(758, py), kGrid);
            QCOMPARE(w.At(759, py), kBackground);
        }
        QCOMPARE(w.At(400, 76), kBackground);
        QCOMPARE(w.At(400, 2), kBackground);
        QCOMPARE(w.At(400, 102), kBackground);

        w.graph->SetGrid(false);
        QCOMPARE(w.At(4, 50), kBackground);
        QCOMPARE(w.At(400, 77), kBackground);
    }

    void drawsTheThreeTracesInTheirColours() {
        MainWindowGraph w;
        w.Refill({0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0});
        // 150, 100 and 50 of 200 on 104 rows: rows 24, 50 and 76; points at x 4, 17 … 56.
        for (int px : {4, 10, 17, 30, 56}) {
            QCOMPARE(w.At(px, 24), kBlue);
            QCOMPARE(w.At(px, 50), kYellow);
            QCOMPARE(w.At(px, 76), kRed);
        }
        QCOMPARE(w.At(57, 24), kBackground);
        QCOMPARE(w.At(30, 25), kBackground);
        QCOMPARE(w.At(30, 77), kGrid); // the red trace lies just above the division line

        // Later series are drawn over earlier ones where they meet.
        w.Refill({-50}, {0}, {50});
        QCOMPARE(w.At(4, 50), kRed);
    }

    void widerPensDrawWiderTraces() {
        CGraphStatic graph;
        graph.resize(100, 50);
        graph.SetYRange(50, 10); // one pixel per unit
        const CGraphStatic::SeriesId wide = graph.AddSeries(0x00FF00, 3);
        graph.AddSamples(wide, std::vector<int>{20, 20, 20});
        const QImage seen = graph.grab().toImage();
        QCOMPARE(seen.pixel(17, 28) | 0xFF000000, qRgb(0, 255, 0));
        QCOMPARE(seen.pixel(17, 27) | 0xFF000000, qRgb(0, 255, 0));
        QCOMPARE(seen.pixel(17, 29) | 0xFF000000, qRgb(0, 255, 0));
        QCOMPARE(seen.pixel(17, 31) | 0xFF000000, kBackground);
    }

    void newestSampleEntersOnTheLeftAndTheTraceScrollsOffTheRight() {
        MainWindowGraph w;
        w.graph->AddSamples(w.x, std::vector<int>(100, 150));
        QCOMPARE(w.graph->SampleCount(w.x), 100);
        QCOMPARE(w.graph->DrawnPoints(w.x).size(), size_t{60});
        QCOMPARE(w.At(758, 24), kBlue);
        QCOMPARE(w.At(759, 24), kBlue); // the line to the next point runs off the edge

        w.graph->AddSample(w.x, 50);
        QCOMPARE(w.At(4, 76), kBlue);
        QCOMPARE(w.At(17, 24), kBlue);
        QCOMPARE(w.At(4, 24), kGrid);
        QCOMPARE(w.graph->DrawnPoints(w.x).front(), (GraphPoint{4, 76}));
    }

    void refillShowsTheRecordsNewestFirst() {
        MainWindowGraph w;
        w.Refill({1, 2, 3, 4, 5, 6, 7}, {0, 0, 0, 0, 0, 0, 0}, {-10, 0, 0, 0, 0, 0, 0});
        for (CGraphStatic::SeriesId series : {w.x, w.y, w.z}) {
            QCOMPARE(w.graph->SampleCount(series), 7);
            QCOMPARE(w.graph->DrawnPoints(series).size(), size_t{7});
        }
        // Record 6 (x 157) on the left line, record 0 (x 151) at 4 + 6 x 13.
        QCOMPARE(w.graph->DrawnPoints(w.x).front(), (GraphPoint{4, 102 - 157 * 104 / 200}));
        QCOMPARE(w.graph->DrawnPoints(w.x).back(), (GraphPoint{82, 102 - 151 * 104 / 200}));
        QCOMPARE(w.graph->DrawnPoints(w.z).back(), (GraphPoint{82, 102 - 40 * 104 / 200}));

        w.Refill({1, 2, 3}, {0, 0, 0}, {0, 0, 0});
        QCOMPARE(w.graph->SampleCount(w.x), 3);
        QCOMPARE(w.At(82, 102 - 151 * 104 / 200), kBackground);
    }

    void clearingWaitsForTheNextRedraw() {
        MainWindowGraph w;
        w.graph->AddSamples(w.x, std::vector<int>{150, 150, 150});
        w.graph->ClearSeries(w.x);
        QCOMPARE(w.graph->SampleCount(w.x), 0);
        QCOMPARE(w.At(17, 24), kBlue); // picture unchanged until asked
        w.graph->Redraw();
        QCOMPARE(w.At(17, 24), kBackground);
        QCOMPARE(w.At(4, 102), kGrid); // an empty series leaves no dot behind
    }

    void ignoresUnknownAndHiddenSeries() {
        MainWindowGraph w;
        w.graph->AddSample(w.y, 100);
        w.graph->AddSample(7, 100);
        w.graph->AddSamples(-1, std::vector<int>{100, 100});
        w.graph->ClearSeries(3);
        w.graph->SetSeriesVisible(3, false);
        QCOMPARE(w.graph->SampleCount(7), 0);
        QVERIFY(w.graph->DrawnPoints(7).empty());
        QCOMPARE(w.graph->SampleCount(w.y), 1);
        QVERIFY(!w.graph->SetYRange(0, 50));
        QCOMPARE(w.graph->Model().YRange(), 200);

        QCOMPARE(w.At(4, 50), kYellow);
        w.graph->SetSeriesVisible(w.y, false);
        QCOMPARE(w.At(4, 50), kGrid);
        QCOMPARE(w.graph->SampleCount(w.y), 1);
    }

    void followsItsSize() {
        MainWindowGraph w;
        w.graph->AddSamples(w.x, std::vector<int>{150, 150});
        w.graph->resize(400, 208);
        QCOMPARE(w.graph->Picture().size(), QSize(400, 208));
        QCOMPARE(w.graph->grab().size(), QSize(400, 208));
        QCOMPARE(w.At(17, 206 - 156), kBlue);
        QCOMPARE(w.At(398, 155), kGrid); // divisions 51 rows apart on the taller plot
        QCOMPARE(w.At(200, 104), kGrid);
        QCOMPARE(w.At(200, 53), kGrid);
    }

    void manySamplesRedrawOnlyWhatFits() {
        MainWindowGraph w;
        for (int i = 0; i < GraphSeries::kCapacity + 200; ++i) {
            w.graph->AddSample(w.x, i % 200);
            w.graph->AddSample(w.y, 100);
            w.graph->AddSample(w.z, 50);
        }
        QCOMPARE(w.graph->SampleCount(w.x), GraphSeries::kCapacity);
        QCOMPARE(w.graph->DrawnPoints(w.x).size(), size_t{60});
        QCOMPARE(w.graph->DrawnPoints(w.x).front().y, 102 - 23 * 104 / 200); // 1223 % 200
        QCOMPARE(w.At(700, 50), kYellow);
    }
};

int RunGraphStaticTests(int argc, char** argv) {
    GraphStaticTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "GraphStaticTest.moc"
