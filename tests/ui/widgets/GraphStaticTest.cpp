#include "WidgetTestSuites.h"
#include "ui/widgets/CGraphStatic.h"

#include <QTest>

#include <cmath>
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
        QCOMPARE(w.At(2, 50), kBackground);
        // Side lines of the plot at x 4 and 758, rows 2 .. 102, and the division lines between
        // them; the plot's top and bottom rows stay empty.
        QCOMPARE(w.At(4, 2), kGrid);
        QCOMPARE(w.At(758, 102), kGrid);
        QCOMPARE(w.At(4, 103), kBackground);
        for (int py : {77, 52, 27}) {
            QCOMPARE(w.At(400, py), kGrid);
            QCOMPARE(w.At(759, py), kBackground);
        }
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
        for (int px : {4, 10, 56}) {
            QCOMPARE(w.At(px, 24), kBlue);
            QCOMPARE(w.At(px, 50), kYellow);
            QCOMPARE(w.At(px, 76), kRed);
        }
        QCOMPARE(w.At(57, 24), kBackground);
        QCOMPARE(w.At(30, 25), kBackground);

        // Later series are drawn over earlier ones where they meet; a shorter refill leaves
        // nothing of the longer one behind.
        w.Refill({-50}, {0}, {50});
        QCOMPARE(w.At(4, 50), kRed);
        QCOMPARE(w.At(17, 24), kBackground);
        QCOMPARE(w.graph->SampleCount(w.y), 1);
    }

    void newestSampleEntersOnTheLeftAndTheTraceScrollsOffTheRight() {
        MainWindowGraph w;
        w.graph->AddSamples(w.x, std::vector<double>(100, 150));
        QCOMPARE(w.graph->SampleCount(w.x), 100);
        QCOMPARE(w.At(759, 24), kBlue); // the line to the next point runs off the edge

        w.graph->AddSample(w.x, 50);
        QCOMPARE(w.At(4, 76), kBlue);
        QCOMPARE(w.At(17, 24), kBlue);
        QCOMPARE(w.At(4, 24), kGrid);
        QCOMPARE(w.graph->DrawnPoints(w.x).front(), (GraphPoint{4, 76}));
    }

    void clearingWaitsForTheNextRedrawAndHidingIsImmediate() {
        MainWindowGraph w;
        w.graph->AddSamples(w.x, std::vector<double>{150, 150, 150});
        w.graph->AddSample(w.y, 100);
        w.graph->ClearSeries(w.x);
        QCOMPARE(w.graph->SampleCount(w.x), 0);
        QCOMPARE(w.At(17, 24), kBlue); // picture unchanged until asked
        w.graph->Redraw();
        QCOMPARE(w.At(17, 24), kBackground);
        QCOMPARE(w.At(4, 102), kGrid); // an empty series leaves no dot behind

        w.graph->AddSamples(-1, std::vector<double>{100, 100}); // unknown ids change nothing
        w.graph->SetSeriesVisible(3, false);
        QCOMPARE(w.At(4, 50), kYellow);
        w.graph->SetSeriesVisible(w.y, false);
        QCOMPARE(w.At(4, 50), kGrid);

        // A refill replaces the samples and waits for the one redraw after it.
        w.graph->SetSeriesVisible(w.y, true);
        w.graph->SetSamples(w.x, std::vector<double>{150, 150});
        w.graph->SetSamples(w.x, std::vector<double>{150});
        w.graph->SetSamples(-1, std::vector<double>{1});
        QCOMPARE(w.graph->SampleCount(w.x), 1);
        QCOMPARE(w.At(4, 24), kGrid);
        w.graph->Redraw();
        QCOMPARE(w.At(4, 24), kBlue);
        QCOMPARE(w.At(17, 24), kBackground);
    }

    void followsItsSize() {
        MainWindowGraph w;
        w.graph->AddSamples(w.x, std::vector<double>{150, 150});
        w.graph->resize(400, 208);
        QCOMPARE(w.graph->grab().size(), QSize(400, 208));
        QCOMPARE(w.At(17, 206 - 156), kBlue);
        QCOMPARE(w.At(398, 155), kGrid); // divisions 51 rows apart on the taller plot
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

    void drawsTheSpeedLineOverTheAxesWithGapsAndTheWindowAcrossTheWidth() {
        MainWindowGraph w;
        constexpr QRgb kGreen = qRgb(0, 255, 0);
        w.Refill(std::vector<int>(61, 0), std::vector<int>(61, 0), std::vector<int>(61, 0));
        w.graph->Redraw();
        QCOMPARE(w.At(4, 50), kYellow); // no speed line: the axes alone, as ever

        QVERIFY(!w.graph->SetSpeedLine(0x00FF00, 1, 0));
        QVERIFY(w.graph->SetSpeedLine(0x00FF00, 1, 200));
        // 100 km/h of 200 lies on row 50, where the y axis' zero is: the speed is drawn over.
        const double none = std::nan("");
        w.graph->SetSpeeds(std::vector<double>{100, 100, none, 100, 100, 100});
        w.graph->Redraw();
        QCOMPARE(w.At(4, 50), kGreen);
        QCOMPARE(w.At(30, 50), kGreen);
        QCOMPARE(w.At(43, 50), kYellow); // no speed at that second: a gap
        QCOMPARE(w.At(56, 50), kGreen);
        QCOMPARE(w.At(69, 50), kGreen);
        QCOMPARE(w.At(82, 50), kYellow); // older than the speeds given
        QCOMPARE(w.graph->SpeedRuns().size(), size_t{2});

        // A minute of places across the width: the 61st sample on the right line.
        w.graph->SetXSpan(60);
        QCOMPARE(w.graph->DrawnPoints(w.z).back(), (GraphPoint{758, 76}));
        QCOMPARE(w.At(758, 76), kRed);
        QCOMPARE(w.At(4 + 5 * 754 / 60, 50), kGreen);

        w.graph->SetSpeeds({});
        w.graph->Redraw();
        QCOMPARE(w.At(4, 50), kYellow);
    }
};

int RunGraphStaticTests(int argc, char** argv) {
    GraphStaticTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "GraphStaticTest.moc"
