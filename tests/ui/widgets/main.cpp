#include "WidgetTestSuites.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    failures += RunBitmapSliderTests(argc, argv);
    failures += RunBitmapButtonTransTests(argc, argv);
    failures += RunSkinButtonTests(argc, argv);
    failures += RunGraphStaticTests(argc, argv);
    failures += RunSettingsDialogsTests(argc, argv);
    failures += RunTripControlsTests(argc, argv);
    failures += RunClipExportTests(argc, argv);
    failures += RunMbtilesFileTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
