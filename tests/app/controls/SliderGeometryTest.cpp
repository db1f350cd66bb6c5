#include "SliderGeometry.h"
#include "ControlsTestSuites.h"

#include <QTest>

#include <limits>

namespace {

// Range 0..100 on a 200-pixel channel with a 10-pixel thumb.
SliderGeometry Channel200() {
    SliderGeometry g;
    g.SetWidths(200, 10);
    return g;
}

} // namespace

class SliderGeometryTest : public QObject {
    Q_OBJECT
private slots:
    void pixelsAndPositionsOf200PixelChannel() {
        const SliderGeometry g = Channel200();
        QCOMPARE(g.PixelOf(0), 5);
        QCOMPARE(g.PixelOf(50), 100);
        QCOMPARE(g.PixelOf(100), 195);
        QCOMPARE(g.PositionOf(100), 50);
        QCOMPARE(g.PositionOf(6), 0); // truncated, not rounded
        QCOMPARE(g.PositionOf(195), 100);
    }

    void setPosClampsButRangeChangesDoNot() {
        SliderGeometry g = Channel200();
        g.SetPos(80);
        g.SetRangeMax(50);
        QCOMPARE(g.Pos(), 80);
        g.SetPos(g.Pos());
        QCOMPARE(g.Pos(), 50);
        g.SetPos(-7);
        QCOMPARE(g.Pos(), 0);
        QCOMPARE(g.SetPageSize(25), 20);
    }

    void keys_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("to");
        using K = SliderGeometry::Key;
        // Volume slider: range 0..99, page 25.
        QTest::newRow("page down past the end") << 90 << int(K::PageDown) << 99;
        QTest::newRow("page down") << 10 << int(K::PageDown) << 35;
        QTest::newRow("page up past the start") << 10 << int(K::PageUp) << 0;
        QTest::newRow("home") << 50 << int(K::Home) << 0;
        QTest::newRow("end") << 50 << int(K::End) << 99;
        QTest::newRow("right") << 50 << int(K::Right) << 51;
        QTest::newRow("down") << 50 << int(K::Down) << 51;
        QTest::newRow("left") << 50 << int(K::Left) << 49;
        QTest::newRow("up") << 50 << int(K::Up) << 49;
        QTest::newRow("right at the end") << 99 << int(K::Right) << 99;
        QTest::newRow("left at the start") << 0 << int(K::Left) << 0;
    }
    void keys() {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, to);
        SliderGeometry g = Channel200();
        g.SetRangeMax(99);
        g.SetPageSize(25);
        g.SetPos(from);
        g.ApplyKey(static_cast<SliderGeometry::Key>(key));
        QCOMPARE(g.Pos(), to);
    }

    void pressOnThumbKeepsItDragPastEndsClamps() {
        SliderGeometry g = Channel200();
        g.SetPos(50); // thumb centre 100, thumb 95..104
        const int offset = g.PressOffset(103);
        QCOMPARE(offset, 3);
        QVERIFY(!g.DragTo(103, offset));
        QCOMPARE(g.Pos(), 50);

        QCOMPARE(g.PressOffset(150), 0); // on the channel: the thumb jumps
        QVERIFY(g.DragTo(150, 0));
        QCOMPARE(g.Pos(), 76); // trunc(145 / 190 * 100)

        QVERIFY(g.DragTo(-500, offset));
        QCOMPARE(g.Pos(), 0);
        QVERIFY(!g.DragTo(-900, offset)); // already at the first pixel
        QVERIFY(g.DragTo(5000, offset));
        QCOMPARE(g.Pos(), 100);
    }

    void negativeRangeTruncatesTowardZero() {
        SliderGeometry g;
        g.SetWidths(110, 10); // one pixel per step
        g.SetRangeMin(-5);
        g.SetRangeMax(5);
        QCOMPARE(g.PixelOf(-5), 5);
        QCOMPARE(g.PixelOf(5), 105);
        QCOMPARE(g.PositionOf(5), -5);
        QCOMPARE(g.PositionOf(10), -4);
        QCOMPARE(g.PositionOf(55), 0);
        QCOMPARE(g.PositionOf(105), 5);
    }

    // No room to move in: nothing divides by zero and the thumb stays at the left end.
    void emptyRangeOrNarrowChannelStaysAtStart() {
        SliderGeometry g = Channel200();
        g.SetRangeMax(0);
        g.SetPos(0);
        QCOMPARE(g.PixelOf(0), 5);
        QCOMPARE(g.PositionOf(150), 0);
        g.DragTo(150, 0);
        QCOMPARE(g.Pos(), 0);

        SliderGeometry narrow;
        narrow.SetWidths(8, 10);
        QCOMPARE(narrow.PixelOf(100), 5);
        QCOMPARE(narrow.PositionOf(7), 0);
        QCOMPARE(narrow.ClampCentre(100), 5);
    }

    void extremeValuesDoNotOverflow() {
        SliderGeometry g = Channel200();
        g.SetRangeMin(std::numeric_limits<int>::min());
        g.SetRangeMax(std::numeric_limits<int>::max());
        g.SetPageSize(std::numeric_limits<int>::max());
        g.SetPos(std::numeric_limits<int>::min() + 1);
        g.ApplyKey(SliderGeometry::Key::PageUp);
        QCOMPARE(g.Pos(), std::numeric_limits<int>::min());
        g.ApplyKey(SliderGeometry::Key::PageDown);
        g.ApplyKey(SliderGeometry::Key::PageDown);
        g.ApplyKey(SliderGeometry::Key::PageDown);
        QCOMPARE(g.Pos(), std::numeric_limits<int>::max());
        QCOMPARE(g.PixelOf(g.Pos()), 195);
        QCOMPARE(g.PositionOf(5), std::numeric_limits<int>::min());
    }
};

int RunSliderGeometryTests(int argc, char** argv) {
    SliderGeometryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SliderGeometryTest.moc"
