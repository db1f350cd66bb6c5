// skinkey: turns a rendered skin picture (RGBA, as rsvg-convert writes it) into the 24-bit
// bitmap the skinned controls draw.
//
//   skinkey IN.png OUT.png WIDTH HEIGHT key|opaque #RRGGBB
//
// The controls treat pure black (0x000000) as see-through. In "key" mode a pixel that the art
// leaves mostly transparent (alpha below one half) becomes pure black; every other pixel is
// laid over the matte colour, the colour of the window background the control sits on, so that
// anti-aliased edges blend into it. Art that is meant to be dark but happens to come out as
// pure black is lifted to 0x010101 so that it stays visible. "opaque" lays every pixel over the
// matte. The picture must already have the given size: the layout places controls by it.
#include <QColor>
#include <QImage>
#include <QString>

#include <cstdio>

namespace {

int Fail(const char* message, const char* detail) {
    std::fprintf(stderr, "skinkey: %s %s\n", message, detail);
    return 1;
}

int Blend(int art, int matte, int alpha) {
    return (art * alpha + matte * (255 - alpha) + 127) / 255;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        return Fail("usage:", "IN.png OUT.png WIDTH HEIGHT key|opaque #RRGGBB");
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    if (source.isNull()) {
        return Fail("cannot read", argv[1]);
    }
    const int width = QString::fromLatin1(argv[3]).toInt();
    const int height = QString::fromLatin1(argv[4]).toInt();
    if (source.width() != width || source.height() != height) {
        return Fail("wrong size:", argv[1]);
    }
    const QString mode = QString::fromLatin1(argv[5]);
    if (mode != QLatin1String("key") && mode != QLatin1String("opaque")) {
        return Fail("unknown mode", argv[5]);
    }
    const bool keyed = mode == QLatin1String("key");
    const QColor matte(QString::fromLatin1(argv[6]));
    if (!matte.isValid()) {
        return Fail("bad matte colour", argv[6]);
    }

    const QImage art = source.convertToFormat(QImage::Format_ARGB32);
    QImage bitmap(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = art.pixel(x, y);
            const int alpha = qAlpha(pixel);
            if (keyed && alpha < 128) {
                bitmap.setPixel(x, y, qRgb(0, 0, 0));
                continue;
            }
            const int r = Blend(qRed(pixel), matte.red(), alpha);
            const int g = Blend(qGreen(pixel), matte.green(), alpha);
            const int b = Blend(qBlue(pixel), matte.blue(), alpha);
            bitmap.setPixel(x, y, r == 0 && g == 0 && b == 0 ? qRgb(1, 1, 1) : qRgb(r, g, b));
        }
    }
    if (!bitmap.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        return Fail("cannot write", argv[2]);
    }
    return 0;
}
