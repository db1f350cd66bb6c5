#include "WidgetTestSuites.h"
#include "ui/widgets/CBitmapButtonTrans.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QColor kBackground(255, 255, 0);
const QColor kNormal(0, 0, 200);
const QColor kSelected(0, 200, 0);
const QColor kDisabled(90, 90, 90);

// A window with one button at (10, 10) drawn from 20 x 10 bitmaps, key colour black.
struct ButtonWindow {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    CBitmapButtonTrans* button = new CBitmapButtonTrans(window.get());

    ButtonWindow(const QImage& normal, const QImage& selected, const QImage& disabled) {
        PaintBackground(window.get(), kBackground);
        window->resize(60, 40);
        button->SetKeyColor(0x000000);
        button->SetBitmaps(normal, selected, normal, disabled);
        button->move(10, 10);
        button->SizeToContent();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    // Colour the user sees at (x, y) of the button.
    QColor At(int x, int y) const { return SeenAt(window.get(), {10 + x, 10 + y}); }
};

} // namespace

class BitmapButtonTransTest : public QObject {
    Q_OBJECT
private slots:
    void keyColourShowsParentExactMatchesOnly() {
        QImage bitmap = SolidImage({20, 10}, Qt::black);
        for (int y = 0; y < 10; ++y) {
            for (int x = 10; x < 20; ++x) {
                bitmap.setPixelColor(x, y, QColor(1, 1, 1));
            }
        }
        ButtonWindow w(bitmap, {}, {});
        QCOMPARE(w.button->size(), QSize(20, 10));
        QCOMPARE(w.At(0, 0), kBackground);
        QCOMPARE(w.At(9, 9), kBackground);
        QCOMPARE(w.At(10, 0), QColor(1, 1, 1));
        QCOMPARE(w.At(19, 9), QColor(1, 1, 1));
    }

    // Key colours are 0x00BBGGRR: 0x0000FF is red, and magenta is the default.
    void keyColourByteOrder() {
        QImage bitmap = SolidImage({20, 10}, Qt::red);
        bitmap.setPixelColor(1, 1, Qt::blue);
        bitmap.setPixelColor(2, 2, Qt::magenta);
        ButtonWindow w(bitmap, {}, {});
        w.button->SetKeyColor(CBitmapButtonTrans::kDefaultKeyColor);
        QCOMPARE(w.At(2, 2), kBackground);
        QCOMPARE(w.At(0, 0), QColor(Qt::red));
        w.button->SetKeyColor(0x0000FF);
        QCOMPARE(w.At(0, 0), kBackground);
        QCOMPARE(w.At(1, 1), QColor(Qt::blue));
        QCOMPARE(w.At(2, 2), QColor(Qt::magenta));
    }

    void pressedLookFollowsPointerReleaseOutsideDoesNotClick() {
        ButtonWindow w(SolidImage({20, 10}, kNormal), SolidImage({20, 10}, kSelected), {});
        QSignalSpy clicked(w.button, &QAbstractButton::clicked);
        QTest::mousePress(w.button, Qt::LeftButton, {}, {5, 5});
        QCOMPARE(w.At(5, 5), kSelected);
        QTest::mouseMove(w.button, {40, 5});
        QCOMPARE(w.At(5, 5), kNormal);
        QTest::mouseMove(w.button, {6, 6});
        QCOMPARE(w.At(5, 5), kSelected);
        QTest::mouseMove(w.button, {-5, 5});
        QTest::mouseRelease(w.button, Qt::LeftButton, {}, {-5, 5});
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(w.At(5, 5), kNormal);

        QTest::mouseClick(w.button, Qt::LeftButton, {}, {5, 5});
        QCOMPARE(clicked.count(), 1);
    }

    void missingStateBitmapsFallBackToNormal() {
        ButtonWindow pauseLike(SolidImage({20, 10}, kNormal), {}, {});
        QTest::mousePress(pauseLike.button, Qt::LeftButton, {}, {5, 5});
        QCOMPARE(pauseLike.At(5, 5), kNormal);
        QTest::mouseRelease(pauseLike.button, Qt::LeftButton, {}, {5, 5});
        pauseLike.button->setEnabled(false);
        QCOMPARE(pauseLike.At(5, 5), kNormal);

        ButtonWindow mapSizeLike(SolidImage({20, 10}, kNormal), SolidImage({20, 10}, kSelected),
                                 SolidImage({20, 10}, kDisabled));
        mapSizeLike.button->setEnabled(false);
        QCOMPARE(mapSizeLike.At(5, 5), kDisabled);
    }
};

int RunBitmapButtonTransTests(int argc, char** argv) {
    BitmapButtonTransTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "BitmapButtonTransTest.moc"
