#include "WidgetTestSuites.h"
#include "ui/widgets/CxSkinButton.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QColor kNormal(0, 0, 200);
const QColor kDown(0, 200, 0);

// A window with the mute toggle: checkable, 30 x 20 bitmaps, framed.
struct ToggleWindow {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    CxSkinButton* button = new CxSkinButton(window.get());

    ToggleWindow() {
        window->resize(60, 40);
        button->setCheckable(true);
        button->SetSkin(SolidImage({30, 20}, kNormal), SolidImage({30, 20}, kDown), 1);
        button->setGeometry(10, 10, 30, 20);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    QColor Centre() const { return button->grab().toImage().pixelColor(15, 10); }
};

int Lightness(const QImage& image, int x, int y) {
    return image.pixelColor(x, y).lightness();
}

} // namespace

class SkinButtonTest : public QObject {
    Q_OBJECT
private slots:
    void pressDragReleaseOutsideKeepsState() {
        ToggleWindow w;
        QSignalSpy clicked(w.button, &QAbstractButton::clicked);
        QTest::mousePress(w.button, Qt::LeftButton, {}, {15, 10});
        QCOMPARE(w.Centre(), kDown);
        QTest::mouseMove(w.button, {50, 10});
        QCOMPARE(w.Centre(), kNormal);
        QTest::mouseMove(w.button, {14, 9});
        QCOMPARE(w.Centre(), kDown);
        QTest::mouseMove(w.button, {15, -20});
        QTest::mouseRelease(w.button, Qt::LeftButton, {}, {15, -20});
        QVERIFY(!w.button->isChecked());
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(w.Centre(), kNormal);
    }

    void clickTogglesBeforeTheCommand() {
        ToggleWindow w;
        QList<bool> seen;
        connect(w.button, &QAbstractButton::clicked, w.button,
                [&] { seen.append(w.button->isChecked()); });
        QTest::mouseClick(w.button, Qt::LeftButton, {}, {15, 10});
        QCOMPARE(seen, QList<bool>{true});
        QCOMPARE(w.Centre(), kDown); // checked shows the down bitmap
        QTest::mouseClick(w.button, Qt::LeftButton, {}, {15, 10});
        QCOMPARE(seen, (QList<bool>{true, false}));
        QCOMPARE(w.Centre(), kNormal);
    }

    void doubleClickTogglesTwice() {
        ToggleWindow w;
        QSignalSpy toggled(w.button, &QAbstractButton::toggled);
        // What a double click delivers: press, release, press, double click, release.
        QTest::mousePress(w.button, Qt::LeftButton, {}, {15, 10});
        QTest::mouseRelease(w.button, Qt::LeftButton, {}, {15, 10});
        QTest::mousePress(w.button, Qt::LeftButton, {}, {15, 10});
        QTest::mouseDClick(w.button, Qt::LeftButton, {}, {15, 10});
        QTest::mouseRelease(w.button, Qt::LeftButton, {}, {15, 10});
        QCOMPARE(toggled.count(), 2);
        QVERIFY(!w.button->isChecked());
    }

    void spaceFlipsFocusedToggle() {
        ToggleWindow w;
        w.button->setFocus();
        QTest::keyClick(w.button, Qt::Key_Space);
        QVERIFY(w.button->isChecked());
        QTest::keyClick(w.button, Qt::Key_Space);
        QVERIFY(!w.button->isChecked());
    }

    void edgeIsRaisedWhenUpAndSunkenWhenDown() {
        ToggleWindow w;
        QImage up = w.button->grab().toImage();
        QVERIFY(Lightness(up, 0, 0) > Lightness(up, 29, 19));
        w.button->setChecked(true);
        QImage down = w.button->grab().toImage();
        QVERIFY(Lightness(down, 0, 0) < Lightness(down, 29, 19));

        w.button->SetSkin(SolidImage({30, 20}, kNormal), SolidImage({30, 20}, kDown), 0);
        QCOMPARE(w.button->grab().toImage().pixelColor(0, 0), kDown);
    }

    void plainPushButtonIsNeverChecked() {
        ToggleWindow w;
        w.button->setCheckable(false);
        w.button->setChecked(true);
        QTest::mouseClick(w.button, Qt::LeftButton, {}, {15, 10});
        QVERIFY(!w.button->isChecked());
        QCOMPARE(w.Centre(), kNormal);
    }
};

int RunSkinButtonTests(int argc, char** argv) {
    SkinButtonTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SkinButtonTest.moc"
