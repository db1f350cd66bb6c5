#include "ControlsTestSuites.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    failures += RunSliderGeometryTests(argc, argv);
    failures += RunBitmapSliderTests(argc, argv);
    failures += RunBitmapButtonTransTests(argc, argv);
    failures += RunSkinButtonTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
