#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QWidget>

// Each test class of widgets_tests runs from main through one of these.
int RunBitmapSliderTests(int argc, char** argv);
int RunBitmapButtonTransTests(int argc, char** argv);
int RunSkinButtonTests(int argc, char** argv);
int RunGraphStaticTests(int argc, char** argv);
int RunSettingsDialogsTests(int argc, char** argv);
int RunTripControlsTests(int argc, char** argv);
int RunClipExportTests(int argc, char** argv);
int RunMbtilesFileTests(int argc, char** argv);

// An image of one colour.
inline QImage SolidImage(QSize size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// A shown top-level widget of one background colour, for controls placed on it.
inline void PaintBackground(QWidget* window, QColor color) {
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, color);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

// The colour a user sees at point p of window (children included).
inline QColor SeenAt(QWidget* window, QPoint p) {
    return window->grab().toImage().pixelColor(p);
}
