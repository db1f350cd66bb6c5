#include "FakePictureArea.h"
#include "player/decoder/CFFMH264_Decoder.h"
#include "player/decoder/ScalerGathers.h"
#include "tests/support/H264Samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <tuple>

extern "C" {
#include <libavutil/cpu.h>
}

namespace {
// 640 × 360, key frames at 0 and 10.
const AccessUnits& Units() {
    return H264Samples(640, 360, 12, 10);
}

bool Decode(CFFMH264_Decoder& decoder, const std::vector<uint8_t>& unit) {
    return decoder.Decode(unit.data(), static_cast<int32_t>(unit.size()));
}

Picture Shown(CFFMH264_Decoder& decoder, int32_t width, int32_t height) {
    Picture picture;
    picture.Allocate(width, height);
    EXPECT_TRUE(decoder.ConvertTo(picture.pixels.data(), picture.stride, width, height));
    return picture;
}
} // namespace

TEST(H264Decoder, EachAccessUnitGivesOnePictureConvertedAtAnySize) {
    CFFMH264_Decoder decoder;
    EXPECT_FALSE(Decode(decoder, Units()[0])); // not open yet
    ASSERT_TRUE(decoder.Open());
    int32_t width = -1, height = -1;
    decoder.GetPictureSize(width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    Picture picture;
    picture.Allocate(64, 36);
    EXPECT_FALSE(decoder.ConvertTo(picture.pixels.data(), picture.stride, 64, 36));

    for (const auto& unit : Units())
        EXPECT_TRUE(Decode(decoder, unit));
    decoder.GetPictureSize(width, height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 360);
    EXPECT_GT(Mean(Shown(decoder, 64, 36)), 20.0);
    EXPECT_GT(Mean(Shown(decoder, 1280, 720)), 20.0);
    // A stride too small for the width is refused, not overrun.
    EXPECT_FALSE(decoder.ConvertTo(picture.pixels.data(), 64 * 3 - 1, 64, 36));
}

TEST(H264Decoder, DamagedAndEmptyPacketsLeaveItReadyForTheNextKeyFrame) {
    CFFMH264_Decoder reference;
    ASSERT_TRUE(reference.Open());
    ASSERT_TRUE(Decode(reference, Units()[10]));
    const Picture expected = Shown(reference, 640, 360);

    CFFMH264_Decoder decoder;
    ASSERT_TRUE(decoder.Open());
    const std::vector<uint8_t> noise(3000, 0x5A);
    // An IDR slice header followed by noise. (Built by assignment: GCC's -O2 warns wrongly
    // about inserting into a short brace-initialised vector.)
    std::vector<uint8_t> badSlice(7 + noise.size(), 0x5A);
    const uint8_t header[] = {0, 0, 0, 1, 0x65, 0x88, 0x84};
    std::copy(std::begin(header), std::end(header), badSlice.begin());
    EXPECT_FALSE(Decode(decoder, badSlice)); // no parameter sets yet
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Decode(decoder, Units()[static_cast<size_t>(i)]));
    Decode(decoder, badSlice); // may be concealed into a picture
    EXPECT_FALSE(Decode(decoder, noise));
    // An empty packet must not be taken as the end of the stream.
    EXPECT_FALSE(decoder.Decode(nullptr, 0));
    EXPECT_FALSE(decoder.Decode(noise.data(), 0));
    ASSERT_TRUE(Decode(decoder, Units()[10]));
    EXPECT_EQ(Shown(decoder, 640, 360).pixels, expected.pixels);
    EXPECT_TRUE(Decode(decoder, Units()[11]));
}

TEST(H264Decoder, BrightnessAndContrastReachEveryConverter) {
    CFFMH264_Decoder decoder;
    ASSERT_TRUE(decoder.Open());
    ASSERT_TRUE(Decode(decoder, Units()[0]));
    const double plain = Mean(Shown(decoder, 320, 180));
    Picture native;
    ASSERT_TRUE(decoder.CopyNative(native));
    const double plainNative = Mean(native);

    decoder.SetBrightness(0.25f); // a quarter of the scale: +64 levels before clipping
    EXPECT_GT(Mean(Shown(decoder, 320, 180)), plain + 30);
    ASSERT_TRUE(decoder.CopyNative(native));
    EXPECT_GT(Mean(native), plainNative + 30);
    EXPECT_EQ(native.width, 640);
    Picture region;
    ASSERT_TRUE(decoder.ConvertRegion(320, 180, 640, 360, 640, 360, 3, region));
    EXPECT_EQ(region.pixels, native.pixels);

    decoder.SetBrightness(0.0f);
    decoder.SetContrast(0.01f);
    const Picture flat = Shown(decoder, 160, 90); // a new converter gets the settings too
    const auto [low, high] = std::minmax_element(flat.pixels.begin(), flat.pixels.end());
    EXPECT_LE(*high - *low, 8);
}

TEST(H264Decoder, RegionIsTheNativePictureThereWithItsCornerOnTheChromaGrid) {
    CFFMH264_Decoder decoder;
    ASSERT_TRUE(decoder.Open());
    Picture region;
    EXPECT_FALSE(decoder.ConvertRegion(100, 50, 640, 360, 64, 32, 3, region));
    ASSERT_TRUE(Decode(decoder, Units()[0]));
    Picture native;
    ASSERT_TRUE(decoder.CopyNative(native));

    // Centred on (101, 51): the corner (69, 35) goes to the even (68, 34).
    ASSERT_TRUE(decoder.ConvertRegion(101, 51, 640, 360, 64, 32, 3, region));
    EXPECT_EQ(region.pixels, Region(native, 68, 34, 64, 32).pixels);
    // The point (50, 25) of a half-size copy is (100, 50) here.
    ASSERT_TRUE(decoder.ConvertRegion(50, 25, 320, 180, 64, 32, 3, region));
    EXPECT_EQ(region.pixels, Region(native, 68, 34, 64, 32).pixels);
    // At the edges it moves inside; wider than the picture, it is as wide as the picture.
    ASSERT_TRUE(decoder.ConvertRegion(639, 359, 640, 360, 64, 32, 3, region));
    EXPECT_EQ(region.pixels, Region(native, 576, 328, 64, 32).pixels);
    ASSERT_TRUE(decoder.ConvertRegion(INT32_MIN, INT32_MAX, 1, 1, 1000, 32, 3, region));
    EXPECT_EQ(region.pixels, Region(native, 0, 328, 640, 32).pixels);

    Picture four;
    ASSERT_TRUE(decoder.ConvertRegion(101, 51, 640, 360, 64, 32, 4, four));
    ASSERT_EQ(four.channels, 4);
    const Picture three = Region(native, 68, 34, 64, 32);
    for (int32_t y = 0; y < 32; ++y) {
        for (int32_t x = 0; x < 64; ++x) {
            const uint8_t* pixel = four.Row(y) + x * 4;
            ASSERT_TRUE(std::equal(pixel, pixel + 3, three.Row(y) + x * 3)) << x << "," << y;
            ASSERT_EQ(pixel[3], 255);
        }
    }

    const std::vector<uint8_t> before = four.pixels;
    EXPECT_FALSE(decoder.ConvertRegion(101, 51, 640, 360, 64, 32, 2, four));
    EXPECT_FALSE(decoder.ConvertRegion(101, 51, 640, 360, 0, 32, 4, four));
    EXPECT_FALSE(decoder.ConvertRegion(101, 51, 0, 360, 64, 32, 4, four));
    EXPECT_EQ(four.pixels, before);
}

// Marking gathers slow changes which of FFmpeg's horizontal scalers runs, never the pixels:
// the conversions of a 1280 × 720 picture before and after are byte-identical, at the window's
// 2:1 and at a size no scaler divides evenly. The other CPU flags stay as FFmpeg found them,
// and TATV_SCALER_GATHERS=1 leaves the flags alone.
TEST(H264Decoder, MarkingGathersSlowKeepsEveryPixelAndEveryOtherFlag) {
    const AccessUnits& units = H264Samples(1280, 720, 1, 1);
    const auto convertAll = [&] {
        CFFMH264_Decoder decoder; // a new scaling context, made with the flags of now
        EXPECT_TRUE(decoder.Open());
        EXPECT_TRUE(Decode(decoder, units[0]));
        std::vector<std::vector<uint8_t>> pixels;
        for (const auto& [width, height, channels] :
             {std::tuple{640, 360, 4}, std::tuple{640, 360, 3}, std::tuple{333, 187, 4}}) {
            Picture picture;
            picture.Allocate(width, height, channels);
            EXPECT_TRUE(
                decoder.ConvertTo(picture.pixels.data(), picture.stride, width, height, channels));
            pixels.push_back(picture.pixels);
        }
        return pixels;
    };
    av_force_cpu_flags(-1); // as detected
    const int detected = av_get_cpu_flags();
    const auto before = convertAll();

    setenv("TATV_SCALER_GATHERS", "1", 1);
    MarkGathersSlow();
    EXPECT_EQ(av_get_cpu_flags(), detected);
    unsetenv("TATV_SCALER_GATHERS");

    MarkGathersSlow();
    MarkGathersSlow();
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_TRUE(GathersMarkedSlow());
    EXPECT_EQ(av_get_cpu_flags(), detected | AV_CPU_FLAG_SLOW_GATHER);
#endif
    EXPECT_EQ(convertAll(), before);
    av_force_cpu_flags(-1);
}
