#include "WidgetTestSuites.h"
#include "ui/widgets/CBitmapSlider.h"
#include "ui/widgets/TransparentBitmap.h"

#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QColor kBackground(255, 255, 0);
const QColor kKey(255, 0, 255);
const QColor kChannel(0, 0, 255);
const QColor kActiveChannel(0, 160, 0);
const QColor kThumb(255, 0, 0);
const QColor kActiveThumb(120, 0, 0);

// A bitmap of one colour whose top-left pixel is the key colour, as the skins are drawn.
QImage SkinImage(QSize size, QColor color) {
    QImage image = SolidImage(size, color);
    image.setPixelColor(0, 0, kKey);
    return image;
}

// A window holding a slider set up like the main window's: 200 x 10 channel with an active
// channel, a 10 x 4 thumb with an active thumb, both transparent by their top-left pixel.
struct SliderWindow {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    CBitmapSlider* slider = new CBitmapSlider(window.get());

    SliderWindow() {
        PaintBackground(window.get(), kBackground);
        window->resize(220, 20);
        slider->SetControlId(1004);
        QVERIFY(slider->SetChannelBitmaps(SkinImage({200, 10}, kChannel),
                                          SkinImage({200, 10}, kActiveChannel), true, kKeyFromPixel,
                                          0, 0));
        QVERIFY(slider->SetThumbBitmaps(SkinImage({10, 4}, kThumb),
                                        SkinImage({10, 4}, kActiveThumb), true, kKeyFromPixel, 0,
                                        0));
        slider->SetFocusRectVisible(false);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    QColor At(int x, int y) const { return SeenAt(window.get(), {x, y}); }
};

} // namespace

class BitmapSliderTest : public QObject {
    Q_OBJECT
private slots:
    void sizesToChannelAndDrawsSplitAtThumbCentre() {
        SliderWindow w;
        QCOMPARE(w.slider->size(), QSize(200, 10));
        w.slider->SetPos(50); // thumb centre at pixel 100, thumb over 95..104, rows 0..3
        QCOMPARE(w.At(99, 8), kActiveChannel);
        QCOMPARE(w.At(100, 8), kChannel);
        QCOMPARE(w.At(2, 8), kActiveChannel);
        QCOMPARE(w.At(199, 8), kChannel);
        QCOMPARE(w.At(0, 0), kBackground);     // the channel's key pixel shows the window
        QCOMPARE(w.At(95, 0), kActiveChannel); // the thumb's key pixel shows the channel
        QCOMPARE(w.At(96, 0), kThumb);
        QCOMPARE(w.At(104, 3), kThumb);
        QCOMPARE(w.At(105, 3), kChannel);

        w.slider->SetPos(0); // split at pixel 5
        QCOMPARE(w.At(4, 8), kActiveChannel);
        QCOMPARE(w.At(5, 8), kChannel);
    }

    void pressOnChannelJumpsPressOnThumbStays() {
        SliderWindow w;
        QSignalSpy moving(w.slider, &CBitmapSlider::sliderMoving);
        QSignalSpy moved(w.slider, &CBitmapSlider::sliderMoved);

        QTest::mousePress(w.slider, Qt::LeftButton, {}, {150, 5});
        QCOMPARE(w.slider->GetPos(), 76);
        QCOMPARE(moving.count(), 1);
        QCOMPARE(moving.at(0), (QVariantList{1004, 76}));
        QCOMPARE(moved.count(), 0);
        QVERIFY(w.slider->hasFocus());
        QTest::mouseRelease(w.slider, Qt::LeftButton, {}, {150, 5});
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved.at(0), (QVariantList{1004, 76}));

        const int centre = w.slider->Geometry().PixelOf(76);
        QTest::mousePress(w.slider, Qt::LeftButton, {}, {centre + 4, 5});
        QTest::mouseMove(w.slider, {centre + 4, 6});
        QCOMPARE(w.slider->GetPos(), 76);
        QCOMPARE(moving.count(), 1);
        QTest::mouseRelease(w.slider, Qt::LeftButton, {}, {centre + 4, 5});
        QCOMPARE(moved.count(), 2); // also when nothing changed
        QCOMPARE(moved.at(1), (QVariantList{1004, 76}));
    }

    void dragPastBothEndsShowsActiveThumb() {
        SliderWindow w;
        w.slider->SetPos(50);
        QSignalSpy moving(w.slider, &CBitmapSlider::sliderMoving);
        QSignalSpy moved(w.slider, &CBitmapSlider::sliderMoved);

        QTest::mousePress(w.slider, Qt::LeftButton, {}, {98, 5}); // on the thumb, 2 left
        QCOMPARE(w.At(100, 2), kActiveThumb);
        QTest::mouseMove(w.slider, {-300, 5});
        QCOMPARE(w.slider->GetPos(), 0);
        QTest::mouseMove(w.slider, {-400, 5}); // still the first pixel: no notification
        QCOMPARE(moving.count(), 1);
        QTest::mouseMove(w.slider, {900, 5});
        QCOMPARE(w.slider->GetPos(), 100);
        QCOMPARE(moving.count(), 2);
        QCOMPARE(moving.at(1), (QVariantList{1004, 100}));
        QCOMPARE(moved.count(), 0);
        QCOMPARE(w.At(196, 2), kActiveThumb);

        QTest::mouseRelease(w.slider, Qt::LeftButton, {}, {900, 5});
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved.at(0), (QVariantList{1004, 100}));
        QCOMPARE(w.At(196, 2), kThumb);
        QTest::mouseMove(w.slider, {20, 5}); // no longer dragging
        QCOMPARE(w.slider->GetPos(), 100);
    }

    void everyKeyNotifiesAlsoAtRangeEnds() {
        SliderWindow w;
        w.slider->SetRange(0, 99);
        w.slider->SetPageSize(25);
        w.slider->SetPos(90);
        w.slider->setFocus();
        QSignalSpy moved(w.slider, &CBitmapSlider::sliderMoved);
        const std::pair<Qt::Key, int> steps[] = {
            {Qt::Key_PageDown, 99}, {Qt::Key_End, 99}, {Qt::Key_Right, 99}, {Qt::Key_Home, 0},
            {Qt::Key_PageUp, 0},    {Qt::Key_Left, 0}, {Qt::Key_Down, 1},   {Qt::Key_Up, 0}};
        qsizetype presses = 0;
        for (const auto& [key, expected] : steps) {
            QTest::keyClick(w.slider, key);
            QCOMPARE(w.slider->GetPos(), expected);
            QCOMPARE(moved.count(), ++presses);
            QCOMPARE(moved.last(), (QVariantList{1004, expected}));
        }
        QTest::keyClick(w.slider, Qt::Key_A);
        QCOMPARE(moved.count(), 8);
    }

    void drawsMarkersOverTheChannelUnderTheThumb() {
        SliderWindow w;
        w.slider->SetPos(50); // thumb over 95..104, rows 0..3
        // Pixels of positions 20, 70, 90, 50 and 102 (beyond the range): 43, 138, 176, 100
        // and 198. Ticks are 3 wide, rows 2..7 of the 10-row channel.
        w.slider->SetMarkers({{20, MarkerKind::Event},
                              {70, MarkerKind::Manual},
                              {90, MarkerKind::GForce},
                              {90, MarkerKind::Event}, // an event over the peak of its time
                              {50, MarkerKind::Parking},
                              {102, MarkerKind::Event}});
        const QColor event = CBitmapSlider::MarkerColor(MarkerKind::Event);
        const QColor parking = CBitmapSlider::MarkerColor(MarkerKind::Parking);
        QCOMPARE(QSet<QRgb>({event.rgb(), parking.rgb(),
                             CBitmapSlider::MarkerColor(MarkerKind::Manual).rgb(),
                             CBitmapSlider::MarkerColor(MarkerKind::GForce).rgb()})
                     .size(),
                 4);
        for (const QPoint p : {QPoint(42, 5), QPoint(44, 5), QPoint(43, 2), QPoint(43, 7)})
            QCOMPARE(w.At(p.x(), p.y()), event);
        for (const QPoint p : {QPoint(41, 5), QPoint(45, 5), QPoint(43, 1), QPoint(43, 8)})
            QCOMPARE(w.At(p.x(), p.y()), kActiveChannel);
        QCOMPARE(w.At(138, 5), CBitmapSlider::MarkerColor(MarkerKind::Manual));
        QCOMPARE(w.At(176, 5), event);
        QCOMPARE(w.At(100, 3), kThumb);  // the thumb covers a mark under it
        QCOMPARE(w.At(100, 6), parking); // below the thumb the tick shows
        QCOMPARE(w.At(198, 5), kChannel);
        w.slider->SetMarkers({});
        QCOMPARE(w.At(43, 5), kActiveChannel);
    }

    void clickOnAMarkerJumpsToItWithoutSliderNotifications() {
        SliderWindow w;
        w.slider->SetPos(50);
        w.slider->SetMarkers({{20, MarkerKind::Event}, {80, MarkerKind::GForce}});
        QSignalSpy moving(w.slider, &CBitmapSlider::sliderMoving);
        QSignalSpy moved(w.slider, &CBitmapSlider::sliderMoved);
        QSignalSpy clicked(w.slider, &CBitmapSlider::markerClicked);

        QTest::mousePress(w.slider, Qt::LeftButton, {}, {46, 5}); // 3 px right of the tick
        QTest::mouseMove(w.slider, {60, 5});
        QCOMPARE(w.slider->GetPos(), 50);
        QTest::mouseRelease(w.slider, Qt::LeftButton, {}, {41, 5});
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0), QVariantList{20});
        QCOMPARE(w.slider->GetPos(), 20);
        QCOMPARE(moving.count(), 0);
        QCOMPARE(moved.count(), 0);
        QVERIFY(!w.slider->IsDragging());

        // Released away from the mark: no click, nothing moves.
        QTest::mousePress(w.slider, Qt::LeftButton, {}, {157, 5});
        QTest::mouseRelease(w.slider, Qt::LeftButton, {}, {170, 5});
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(w.slider->GetPos(), 20);
        QCOMPARE(moved.count(), 0);

        // The thumb on a mark is dragged as before; a press beside a mark is a jump.
        QTest::mousePress(w.slider, Qt::LeftButton, {}, {43, 5});
        QTest::mouseMove(w.slider, {62, 5});
        QTest::mouseRelease(w.slider, Qt::LeftButton, {}, {62, 5});
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(moved.count(), 1);
        QCOMPARE(w.slider->GetPos(), 30);
        QTest::mouseClick(w.slider, Qt::LeftButton, {}, {161, 5}); // 4 px from the tick
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(moved.count(), 2);
        QCOMPARE(w.slider->GetPos(), 82);
    }

    void refusesKeyPointOutsideBitmap() {
        SliderWindow w;
        QVERIFY(!w.slider->SetChannelBitmaps(SkinImage({50, 6}, kChannel), {}, true, kKeyFromPixel,
                                             60, 0));
        QCOMPARE(w.slider->size(), QSize(200, 10));
        QCOMPARE(w.slider->Geometry().Width(), 200);
        QCOMPARE(w.At(150, 8), kChannel);
        // An opaque channel ignores the key point.
        QVERIFY(w.slider->SetChannelBitmaps(SkinImage({50, 6}, kChannel), {}, false, kKeyFromPixel,
                                            60, 0));
        QCOMPARE(w.slider->size(), QSize(50, 6));
        QCOMPARE(w.At(0, 0), kKey);
    }
};

int RunBitmapSliderTests(int argc, char** argv) {
    BitmapSliderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "BitmapSliderTest.moc"
