#include "MeasuringPictureArea.h"

bool MeasuringPictureArea::IsWhitePicture(const Picture& picture) {
    if (picture.Empty() || picture.channels < 3)
        return false;
    constexpr int kGrid = 12;
    int white = 0;
    for (int gy = 0; gy < kGrid; ++gy) {
        const int32_t y = (2 * gy + 1) * picture.height / (2 * kGrid);
        const uint8_t* row = picture.Row(y);
        for (int gx = 0; gx < kGrid; ++gx) {
            const int32_t x = (2 * gx + 1) * picture.width / (2 * kGrid);
            const uint8_t* pixel = row + static_cast<size_t>(x) * 3;
            if (pixel[0] > 200 && pixel[1] > 200 && pixel[2] > 200)
                ++white;
        }
    }
    return white * 10 >= kGrid * kGrid * 9;
}
