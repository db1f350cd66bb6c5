#include "FakePictureArea.h"
#include "player/decoder/CDecoder.h"
#include "player/decoder/CFFMH264_Decoder.h"
#include "tests/support/H264Samples.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {
// Front 1280 × 720 and rear 640 × 360, key frames at 0 and 10.
const AccessUnits& Front() {
    return H264Samples(1280, 720, 12, 10);
}
const AccessUnits& Rear() {
    return H264Samples(640, 360, 12, 10);
}

bool Show(CDecoder& decoder, int channel, VPictureArea* area, const std::vector<uint8_t>& unit) {
    return decoder.DecodeAndShow(channel, area, unit.data(), static_cast<int32_t>(unit.size()));
}

// The rear channel's first picture shown at 320 × 180 after `setup`.
Picture FirstPicture(const std::function<void(CDecoder&)>& setup) {
    CDecoder decoder;
    EXPECT_TRUE(decoder.Open());
    setup(decoder);
    FakePictureArea area(320, 180);
    EXPECT_TRUE(Show(decoder, 1, &area, Rear()[0]));
    return area.Shown().back();
}
} // namespace

TEST(Decoder, ShowsEachPictureAtTheAreaSizeAndFollowsResizes) {
    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    FakePictureArea front(640, 360), rear(320, 180);
    EXPECT_TRUE(Show(decoder, 0, &front, Front()[0]));
    EXPECT_TRUE(Show(decoder, 1, &rear, Rear()[0]));
    front.Resize(400, 224);
    EXPECT_TRUE(Show(decoder, 0, &front, Front()[1]));
    const auto shown = front.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].width, 640);
    EXPECT_EQ(shown[1].width, 400);
    EXPECT_EQ(shown[1].height, 224);
    EXPECT_GT(Mean(shown[1]), 20.0);
    EXPECT_EQ(rear.Shown().at(0).height, 180);
}

TEST(Decoder, HiddenAreasKeepDecodingSoPicturesAreWholeWhenShownAgain) {
    // One decoder shows every rear picture; the other's area is hidden (0 wide, then 0 high)
    // for the first five and shown from the sixth, a picture predicted from the ones before.
    CDecoder shownAll, hiddenFirst;
    ASSERT_TRUE(shownAll.Open());
    ASSERT_TRUE(hiddenFirst.Open());
    FakePictureArea all(320, 180), narrow(0, 180), flat(320, 0), area(320, 180);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_TRUE(Show(shownAll, 1, &all, Rear()[i]));
        EXPECT_FALSE(Show(hiddenFirst, 1, i < 3 ? &narrow : &flat, Rear()[i]));
    }
    EXPECT_TRUE(narrow.Shown().empty() && flat.Shown().empty());
    ASSERT_TRUE(Show(shownAll, 1, &all, Rear()[5]));
    ASSERT_TRUE(Show(hiddenFirst, 1, &area, Rear()[5]));
    ASSERT_EQ(area.Shown().size(), 1u);
    EXPECT_EQ(area.Shown()[0].pixels, all.Shown().back().pixels);
}

namespace {
// The picture a decoder shows of the rear after decoding units 0 … last.
Picture ShownAfter(const AccessUnits& units, size_t last) {
    CDecoder decoder;
    EXPECT_TRUE(decoder.Open());
    FakePictureArea area(320, 180);
    for (size_t i = 0; i <= last; ++i)
        Show(decoder, 1, &area, units[i]);
    return area.Shown().empty() ? Picture{} : area.Shown().back();
}

void Defer(CDecoder& decoder, const AccessUnits& units, size_t from, size_t to, int gop) {
    for (size_t i = from; i < to; ++i)
        decoder.Defer(1, units[i].data(), static_cast<int32_t>(units[i].size()), kNoTimeUs,
                      i % static_cast<size_t>(gop) == 0);
}
} // namespace

TEST(Decoder, DeferredPacketsAreDecodedWhenTheCameraIsSeenOrSnapshotted) {
    // Kept within a group of pictures, then seen on the next packet: the picture is the one
    // decoding every packet gives.
    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    FakePictureArea hidden(0, 0), area(320, 180);
    ASSERT_TRUE(Show(decoder, 1, &area, Rear()[0]));
    Defer(decoder, Rear(), 1, 6, 10);
    EXPECT_EQ(decoder.DeferredCount(1), 5u);
    EXPECT_FALSE(decoder.Show(1, &hidden)) << "a hidden area decodes nothing";
    EXPECT_EQ(decoder.DeferredCount(1), 5u);
    // A packet called a key frame whose bitstream holds none (the card's rule says so of
    // every packet starting with a delimiter) drops nothing.
    decoder.Defer(1, Rear()[6].data(), static_cast<int32_t>(Rear()[6].size()), kNoTimeUs, true);
    EXPECT_EQ(decoder.DeferredCount(1), 6u);
    ASSERT_TRUE(Show(decoder, 1, &area, Rear()[7]));
    EXPECT_EQ(decoder.DeferredCount(1), 0u);
    EXPECT_EQ(area.Shown().back().pixels, ShownAfter(Rear(), 7).pixels);

    // Across a key frame only the packets from it on are kept; Show presents the newest.
    Defer(decoder, Rear(), 8, 12, 10);
    EXPECT_EQ(decoder.DeferredCount(1), 2u);
    ASSERT_TRUE(decoder.Show(1, &area));
    EXPECT_EQ(area.Shown().back().pixels, ShownAfter(Rear(), 11).pixels);

    // A snapshot of a camera nobody sees is of its picture of now.
    TempDir dir;
    CDecoder kept, decoded;
    ASSERT_TRUE(kept.Open());
    ASSERT_TRUE(decoded.Open());
    Defer(kept, Rear(), 0, 8, 10);
    for (size_t i = 0; i < 8; ++i)
        decoded.Decode(1, Rear()[i].data(), static_cast<int32_t>(Rear()[i].size()), kNoTimeUs);
    ASSERT_TRUE(kept.SaveSnapshot(1, dir.File("kept.jpg")));
    ASSERT_TRUE(decoded.SaveSnapshot(1, dir.File("decoded.jpg")));
    EXPECT_EQ(ReadFileBytes(dir.File("kept.jpg")), ReadFileBytes(dir.File("decoded.jpg")));

    // A reposition drops what was kept; the last picture stays.
    Defer(kept, Rear(), 8, 10, 10);
    kept.Flush(1);
    EXPECT_EQ(kept.DeferredCount(1), 0u);
    ASSERT_TRUE(kept.SaveSnapshot(1, dir.File("after.jpg")));
    EXPECT_EQ(ReadFileBytes(dir.File("after.jpg")), ReadFileBytes(dir.File("kept.jpg")));
}

TEST(Decoder, APicturePreparedAheadIsTheOneShownEvenAfterAResize) {
    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    FakePictureArea area(320, 180);
    for (size_t i = 0; i < 3; ++i)
        decoder.Decode(1, Rear()[i].data(), static_cast<int32_t>(Rear()[i].size()), kNoTimeUs);
    decoder.Prepare(1, &area);
    EXPECT_TRUE(area.Shown().empty()) << "prepared, not presented";
    ASSERT_TRUE(decoder.Show(1, &area));
    EXPECT_EQ(area.Shown().back().pixels, ShownAfter(Rear(), 2).pixels);
    // The area changes size between the two: Show converts again, at the new size.
    decoder.Decode(1, Rear()[3].data(), static_cast<int32_t>(Rear()[3].size()), kNoTimeUs);
    decoder.Prepare(1, &area);
    area.Resize(160, 90);
    ASSERT_TRUE(decoder.Show(1, &area));
    EXPECT_EQ(area.Shown().back().width, 160);
    EXPECT_GT(Mean(area.Shown().back()), 20.0);
}

TEST(Decoder, DeferringAStreamWithoutKeyFramesKeepsABoundedTail) {
    // One key frame in 80: the oldest packets are decoded as the limit is passed, so the
    // catch-up never decodes more than the limit, and the picture is still the right one.
    const AccessUnits& units = H264Samples(160, 96, 80, 100);
    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    Defer(decoder, units, 0, units.size(), 100);
    EXPECT_EQ(decoder.DeferredCount(1), DeferredPackets::kMaxPackets);
    FakePictureArea area(320, 180);
    ASSERT_TRUE(decoder.Show(1, &area));
    EXPECT_EQ(area.Shown().back().pixels, ShownAfter(units, units.size() - 1).pixels);
}

TEST(Decoder, FourByteAreasGetTheSamePicturesWithAnOpaqueFourthByte) {
    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    FakePictureArea bgr(320, 180), bgra(320, 180, 4);
    ASSERT_TRUE(Show(decoder, 0, &bgr, Front()[0]));
    ASSERT_TRUE(Show(decoder, 0, &bgra, Front()[0])); // the same picture again
    decoder.SetFlipMode(0, 3);
    ASSERT_TRUE(Show(decoder, 0, &bgra, Front()[1]));
    const Picture three = bgr.Shown().at(0);
    const Picture four = bgra.Shown().at(0);
    ASSERT_EQ(four.channels, 4);
    ASSERT_EQ(four.width, 320);
    const auto opaque = [](const Picture& p) {
        for (int32_t y = 0; y < p.height; ++y)
            for (int32_t x = 0; x < p.width; ++x)
                if (p.Row(y)[4 * x + 3] != 255)
                    return false;
        return true;
    };
    double difference = 0;
    for (int32_t y = 0; y < four.height; ++y)
        for (int32_t x = 0; x < four.width; ++x)
            for (int c = 0; c < 3; ++c)
                difference += std::abs(four.Row(y)[4 * x + c] - three.Row(y)[3 * x + c]);
    EXPECT_LT(difference / (320.0 * 180 * 3), 2.0);
    EXPECT_TRUE(opaque(four));
    // Flipped left-right, and cut out, in whole four-byte pixels.
    EXPECT_TRUE(opaque(bgra.Shown().at(1)));
    Picture cut;
    ASSERT_TRUE(decoder.GetCutOut(0, 160, 90, 32, 16, cut));
    EXPECT_EQ(cut.channels, 4);
    EXPECT_EQ(cut.width, 32);
    EXPECT_TRUE(opaque(cut));
}

TEST(Decoder, RefusesOtherChannelsWithoutDecoding) {
    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    FakePictureArea area(320, 180);
    EXPECT_FALSE(Show(decoder, CDecoder::kChannels, &area, Rear()[0]));
    EXPECT_FALSE(Show(decoder, -1, &area, Rear()[0]));
    EXPECT_TRUE(area.Shown().empty());
    TempDir dir;
    Picture cut;
    for (int channel : {0, 1, 5}) {
        EXPECT_FALSE(decoder.SaveSnapshot(channel, dir.File("shot.jpg")));
        EXPECT_FALSE(decoder.GetCutOut(channel, 0, 0, 32, 32, cut));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("shot.jpg")));
}

TEST(Decoder, JpegPacketShowsThePreviousPictureAgain) {
    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    FakePictureArea area(320, 180);
    // A JPEG marker in front of a valid access unit: H.264 would find the unit in it.
    std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0};
    jpeg.insert(jpeg.end(), Rear()[1].begin(), Rear()[1].end());
    EXPECT_FALSE(Show(decoder, 1, &area, jpeg)); // nothing to show yet
    decoder.SetFlipMode(1, 3);
    ASSERT_TRUE(Show(decoder, 1, &area, Rear()[0]));
    ASSERT_TRUE(Show(decoder, 1, &area, jpeg));
    ASSERT_TRUE(Show(decoder, 1, &area, Rear()[1]));
    const auto shown = area.Shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1].pixels, shown[0].pixels); // same picture, not flipped back
    EXPECT_NE(shown[2].pixels, shown[0].pixels);
}

TEST(Decoder, FlipModesTurnThePicture) {
    const Picture plain = FirstPicture([](CDecoder&) {});
    const int32_t w = plain.width, h = plain.height;
    const Picture upsideDown = FirstPicture([](CDecoder& d) { d.SetFlipMode(1, 1); });
    const Picture turned = FirstPicture([](CDecoder& d) { d.SetFlipMode(1, 2); });
    const Picture mirrored = FirstPicture([](CDecoder& d) { d.SetFlipMode(1, 3); });
    const Picture unknown = FirstPicture([](CDecoder& d) { d.SetFlipMode(1, 7); });
    for (int32_t y : {0, 57, h - 1}) {
        for (int32_t x : {0, 101, w - 1}) {
            const uint8_t* p = plain.Row(y) + x * 3;
            EXPECT_TRUE(std::equal(p, p + 3, upsideDown.Row(h - 1 - y) + x * 3));
            EXPECT_TRUE(std::equal(p, p + 3, turned.Row(h - 1 - y) + (w - 1 - x) * 3));
            EXPECT_TRUE(std::equal(p, p + 3, mirrored.Row(y) + (w - 1 - x) * 3));
        }
    }
    EXPECT_EQ(unknown.pixels, plain.pixels);
}

TEST(Decoder, BrightnessAndContrastLevels) {
    const Picture plain = FirstPicture([](CDecoder&) {});
    EXPECT_GT(Mean(FirstPicture([](CDecoder& d) { d.SetBrightness(1, 1); })), Mean(plain) + 15);
    EXPECT_EQ(FirstPicture([](CDecoder& d) { d.SetContrast(1, 0); }).pixels, plain.pixels);
    // Limited to 2.0 above and 0.01 below.
    EXPECT_EQ(FirstPicture([](CDecoder& d) { d.SetContrast(1, 25); }).pixels,
              FirstPicture([](CDecoder& d) { d.SetContrast(1, 10); }).pixels);
    EXPECT_NE(FirstPicture([](CDecoder& d) { d.SetContrast(1, 5); }).pixels, plain.pixels);
    EXPECT_EQ(FirstPicture([](CDecoder& d) { d.SetContrast(1, -200); }).pixels,
              FirstPicture([](CDecoder& d) { d.SetContrast(1, -10); }).pixels);
    // Channel numbers out of range land on the nearer channel (here 5 and 0, not this one).
    EXPECT_EQ(FirstPicture([](CDecoder& d) { d.SetBrightness(9, 1); }).pixels, plain.pixels);
    EXPECT_EQ(FirstPicture([](CDecoder& d) { d.SetBrightness(-3, 1); }).pixels, plain.pixels);
}

TEST(Decoder, SnapshotIsTheLastPictureAtItsNativeSize) {
    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    FakePictureArea area(320, 180);
    TempDir dir;
    EXPECT_FALSE(decoder.SaveSnapshot(0, dir.File("none.jpg")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.jpg")));
    ASSERT_TRUE(Show(decoder, 0, &area, Front()[0]));
    EXPECT_FALSE(Show(decoder, 1, nullptr, Rear()[0])); // decoded, not shown
    ASSERT_TRUE(decoder.SaveSnapshot(0, dir.File("front.jpg")));
    ASSERT_TRUE(decoder.SaveSnapshot(1, dir.File("rear.jpg")));
    // Channels beyond the last (5, a car's camera) land on it: nothing decoded there.
    EXPECT_FALSE(decoder.SaveSnapshot(7, dir.File("seventh.jpg")));
    EXPECT_FALSE(decoder.SaveSnapshot(0, dir.File("missing/front.jpg")));
    EXPECT_EQ(Probe("-show_entries stream=codec_name,width,height", dir.File("front.jpg")),
              "mjpeg,1280,720\n");
    const Picture front = ReadImage(dir.File("front.jpg"), 1280, 720);
    EXPECT_NEAR(Mean(front), Mean(area.Shown()[0]), 3.0);
    EXPECT_EQ(ReadImage(dir.File("rear.jpg"), 640, 360).width, 640);
    // The shown size is untouched by the snapshot.
    ASSERT_TRUE(Show(decoder, 0, &area, Front()[1]));
    EXPECT_EQ(area.Shown().back().width, 320);
}

// The cut-out comes from the decoded picture (1280 × 720), not from the one shown (640 × 360):
// the shown point is scaled by 2.
TEST(Decoder, CutOutStaysInsideTheDecodedPicture) {
    CFFMH264_Decoder reference;
    ASSERT_TRUE(reference.Open());
    ASSERT_TRUE(reference.Decode(Front()[0].data(), static_cast<int32_t>(Front()[0].size())));
    Picture native;
    ASSERT_TRUE(reference.CopyNative(native));
    ASSERT_EQ(native.width, 1280);

    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    FakePictureArea area(640, 360);
    ASSERT_TRUE(Show(decoder, 0, &area, Front()[0]));
    Picture cut;
    ASSERT_TRUE(decoder.GetCutOut(0, 320, 180, 320, 240, cut));
    EXPECT_EQ(cut.pixels, Region(native, 480, 240, 320, 240).pixels);
    ASSERT_TRUE(decoder.GetCutOut(0, 5, 5, 320, 240, cut));
    EXPECT_EQ(cut.pixels, Region(native, 0, 0, 320, 240).pixels);
    ASSERT_TRUE(decoder.GetCutOut(-3, INT32_MAX, INT32_MAX, 320, 240, cut));
    EXPECT_EQ(cut.pixels, Region(native, 960, 480, 320, 240).pixels);
    ASSERT_TRUE(decoder.GetCutOut(0, INT32_MIN, 100, 320, 240, cut));
    EXPECT_EQ(cut.pixels, Region(native, 0, 80, 320, 240).pixels);
    ASSERT_TRUE(decoder.GetCutOut(0, 0, 0, 2000, 100, cut));
    EXPECT_EQ(cut.pixels, Region(native, 0, 0, 1280, 100).pixels);
    EXPECT_FALSE(decoder.GetCutOut(1, 0, 0, 320, 240, cut));
    EXPECT_FALSE(decoder.GetCutOut(0, 0, 0, 0, 240, cut));
    decoder.Close();
    EXPECT_FALSE(decoder.GetCutOut(0, 0, 0, 320, 240, cut));
    EXPECT_EQ(cut.width, 1280); // untouched by the failures
}

// A picture whose colour tells the position, shown in the large slot (2 × smaller than
// decoded) and in the small one (4 ×): the cut-out around one point of the picture is the
// picture there at full resolution, and the shown picture around that point enlarged, also
// mirrored and brightened like the shown picture.
TEST(Decoder, CutOutIsThePictureUnderThePointerMagnified) {
    const AccessUnits& gradient = H264Gradient(1280, 720, 1, 10);
    ASSERT_EQ(gradient.size(), 1u);
    // Levels the coded picture may differ from the gradient (chroma is coded coarser), and
    // the cut-out from the shown picture (which averages neighbours a pixel or two apart).
    constexpr double kCoded = 6.0;
    constexpr double kScaled = 5.0;
    const struct {
        int32_t areaWidth;
        int flipMode;
        int brightness;
    } cases[] = {{640, 0, 0}, {320, 0, 0}, {640, 3, 0}, {320, 1, 2}};
    for (const auto& with : cases) {
        SCOPED_TRACE(testing::Message() << with.areaWidth << " wide, flip mode " << with.flipMode
                                        << ", brightness " << with.brightness);
        CDecoder decoder;
        ASSERT_TRUE(decoder.Open());
        decoder.SetFlipMode(0, with.flipMode);
        decoder.SetBrightness(0, with.brightness);
        FakePictureArea area(with.areaWidth, with.areaWidth * 9 / 16);
        ASSERT_TRUE(Show(decoder, 0, &area, gradient[0]));
        const Picture shown = area.Shown().at(0);
        // The point (400, 200) of the decoded picture, where the shown one has it.
        const int32_t scale = 1280 / with.areaWidth;
        int32_t x = 400 / scale, y = 200 / scale;
        if (with.flipMode == 2 || with.flipMode == 3)
            x = shown.width - 1 - x;
        if (with.flipMode == 1 || with.flipMode == 2)
            y = shown.height - 1 - y;
        Picture cut;
        ASSERT_TRUE(decoder.GetCutOut(0, x, y, 320, 240, cut));
        ASSERT_EQ(cut.width, 320);
        ASSERT_EQ(cut.height, 240);
        for (int32_t cy = 0; cy < 240; cy += 7) {
            for (int32_t cx = 0; cx < 320; cx += 9) {
                const uint8_t* pixel = cut.Row(cy) + cx * 3;
                if (with.flipMode == 0 && with.brightness == 0) {
                    const Bgr expected = GradientBgr(240 + cx, 80 + cy, 1280, 720);
                    ASSERT_NEAR(pixel[0], expected.blue, kCoded) << cx << "," << cy;
                    ASSERT_NEAR(pixel[1], expected.green, kCoded) << cx << "," << cy;
                    ASSERT_NEAR(pixel[2], expected.red, kCoded) << cx << "," << cy;
                }
                const uint8_t* magnified =
                    shown.Row(y - 120 / scale + cy / scale) + (x - 160 / scale + cx / scale) * 3;
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(pixel[c], magnified[c], kScaled) << cx << "," << cy << "," << c;
            }
        }
    }
}

TEST(Decoder, WindowThreadCallsDuringPlayback) {
    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    FakePictureArea area(320, 180);
    TempDir dir;
    std::atomic<bool> playing{true};
    std::thread window([&] {
        Picture cut;
        for (int i = 0; playing.load(); ++i) {
            decoder.SetBrightness(0, i % 3);
            decoder.SetContrast(0, i % 5);
            decoder.SetFlipMode(0, i % 4);
            decoder.GetCutOut(0, 100, 100, 64, 48, cut);
            if (i % 8 == 0)
                decoder.SaveSnapshot(0, dir.File("shot.jpg"));
        }
    });
    for (int round = 0; round < 2; ++round) {
        for (const auto& unit : Rear())
            EXPECT_TRUE(Show(decoder, 0, &area, unit));
    }
    playing = false;
    window.join();
    EXPECT_EQ(area.Shown().size(), 2 * Rear().size());
}

namespace {
// An area that keeps the pictures it is shown as the decoder shares them, with a copy of each
// taken when it was presented.
class SharingArea : public FakePictureArea {
public:
    using FakePictureArea::FakePictureArea;
    void PresentShared(const std::shared_ptr<const Picture>& picture) override {
        kept.push_back(picture);
        Present(*picture);
    }
    std::vector<std::shared_ptr<const Picture>> kept;
};
} // namespace

TEST(Decoder, SharedPicturesAreNeverWrittenAfterTheyAreShown) {
    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    SharingArea area(320, 180, 4);
    std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0};
    for (size_t i = 0; i < 8; ++i) {
        ASSERT_TRUE(Show(decoder, 1, &area, Rear()[i]));
        if (i == 3) {
            ASSERT_TRUE(Show(decoder, 1, &area, jpeg)); // nothing new: the same picture again
            EXPECT_EQ(area.kept.back(), area.kept[area.kept.size() - 2]);
        }
        if (i == 5)
            area.Resize(160, 90);
    }
    const auto copies = area.Shown();
    ASSERT_EQ(area.kept.size(), copies.size());
    for (size_t i = 0; i < copies.size(); ++i) {
        EXPECT_EQ(area.kept[i]->width, copies[i].width) << i;
        EXPECT_EQ(area.kept[i]->pixels, copies[i].pixels) << i;
    }
    EXPECT_NE(area.kept[0]->pixels, area.kept[1]->pixels);

    // Pictures no one holds any more are converted into again; those still held are not, and
    // may outlive the decoder.
    area.kept.resize(1);
    ASSERT_TRUE(Show(decoder, 1, &area, Rear()[8]));
    decoder.Close();
    EXPECT_EQ(area.kept[0]->pixels, copies[0].pixels);
}

TEST(Decoder, PicturesLetGoOnTheWindowThreadAreReusedSafely) {
    // Like the window's area: it keeps only the newest picture, which another thread reads
    // (paints) and now and then lets go of (a new recording clears the area).
    class NewestArea : public FakePictureArea {
    public:
        using FakePictureArea::FakePictureArea;
        void PresentShared(const std::shared_ptr<const Picture>& picture) override {
            std::lock_guard hold(lock);
            newest = picture;
            ++presented;
        }
        std::mutex lock;
        std::shared_ptr<const Picture> newest; // under lock
        int presented = 0;                     // under lock
    };
    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    NewestArea area(320, 180, 4);
    std::atomic<bool> playing{true};
    double sum = 0;
    std::thread window([&] {
        for (int i = 0; playing.load(); ++i) {
            std::shared_ptr<const Picture> painted;
            {
                std::lock_guard hold(area.lock);
                painted = area.newest;
                if (i % 3 == 0)
                    area.newest.reset();
            }
            if (painted != nullptr)
                sum += Mean(*painted);
        }
    });
    for (int round = 0; round < 3; ++round) {
        for (const auto& unit : Rear())
            EXPECT_TRUE(Show(decoder, 1, &area, unit));
    }
    playing = false;
    window.join();
    std::lock_guard hold(area.lock);
    EXPECT_EQ(area.presented, static_cast<int>(3 * Rear().size()));
    EXPECT_GE(sum, 0.0);
}

// A car's camera shown small may go without the deblocking filter: its pictures then differ
// from the whole decoding; switched back, the next key frame decodes as before.
TEST(Decoder, DecodeCostOfAFurtherCameraLeavesOutTheLoopFilter) {
    const auto lastPicture = [](const std::function<void(CDecoder&)>& setup) {
        CDecoder decoder;
        EXPECT_TRUE(decoder.Open());
        setup(decoder);
        FakePictureArea area(640, 360);
        for (size_t i = 0; i < 8 && i < Front().size(); ++i)
            Show(decoder, 5, &area, Front()[i]);
        return area.Shown().back();
    };
    const Picture whole = lastPicture([](CDecoder&) {});
    const Picture cheap = lastPicture([](CDecoder& d) {
        d.SetDecodeCost(5, DecodeCost{true, false});
    });
    EXPECT_NE(cheap.pixels, whole.pixels);
    EXPECT_NEAR(Mean(cheap), Mean(whole), 2.0) << "the same picture, only less smoothed";
    EXPECT_EQ(lastPicture([](CDecoder& d) {
                  d.SetDecodeCost(5, DecodeCost{true, false});
                  d.SetDecodeCost(5, DecodeCost{});
              }).pixels,
              whole.pixels);
    // Other channels keep their whole decoding.
    EXPECT_EQ(lastPicture([](CDecoder& d) {
                  d.SetDecodeCost(4, DecodeCost{true, true});
              }).pixels,
              whole.pixels);
}

namespace {
// The rear picture at full resolution (a cut-out as large as the picture) after decoding
// units 0 … last.
Picture WholeRearAfter(size_t last) {
    CDecoder decoder;
    EXPECT_TRUE(decoder.Open());
    FakePictureArea area(320, 180);
    for (size_t i = 0; i <= last; ++i)
        Show(decoder, 1, &area, Rear()[i]);
    Picture whole;
    EXPECT_TRUE(decoder.GetCutOut(1, 160, 90, 640, 360, whole));
    return whole;
}
} // namespace

TEST(Decoder, PicturesKeptAheadAreShownInOrderAndDroppingThemBringsBackTheOneOnScreen) {
    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    FakePictureArea area(320, 180);
    EXPECT_FALSE(decoder.Keep(1, &area, 0, true)) << "nothing decoded yet";
    for (size_t i = 0; i < 4; ++i) {
        decoder.Decode(1, Rear()[i].data(), static_cast<int32_t>(Rear()[i].size()), kNoTimeUs);
        // The last two are left for ShowKept to convert.
        ASSERT_TRUE(decoder.Keep(1, &area, static_cast<int64_t>(i) * 33333, i < 2));
    }
    EXPECT_TRUE(area.Shown().empty()) << "kept, not presented";
    ASSERT_EQ(decoder.KeptCount(1), 4u);
    EXPECT_EQ(decoder.KeptTimeUs(1, 1), 33333);
    EXPECT_EQ(decoder.KeptTimeUs(1, 4), kNoTimeUs);

    ASSERT_TRUE(decoder.ShowKept(1, &area));
    EXPECT_EQ(area.Shown().back().pixels, ShownAfter(Rear(), 0).pixels);
    ASSERT_TRUE(decoder.ShowKept(1, &area));
    EXPECT_EQ(area.Shown().back().pixels, ShownAfter(Rear(), 1).pixels);
    ASSERT_TRUE(decoder.ShowKept(1, &area));
    EXPECT_EQ(area.Shown().back().pixels, ShownAfter(Rear(), 2).pixels);
    EXPECT_EQ(decoder.KeptTimeUs(1, 0), 3 * 33333);

    // A pause: the picture decoded ahead goes, and what a snapshot or a cut-out reads is the
    // picture on screen (2), not the newest decoded (3).
    decoder.DropAllKept(1);
    EXPECT_EQ(decoder.KeptCount(1), 0u);
    EXPECT_FALSE(decoder.ShowKept(1, &area));
    Picture whole;
    ASSERT_TRUE(decoder.GetCutOut(1, 160, 90, 640, 360, whole));
    EXPECT_EQ(whole.pixels, WholeRearAfter(2).pixels);
    EXPECT_NE(whole.pixels, WholeRearAfter(3).pixels) << "the pictures must differ to tell";
    // Decoding goes on from the newest picture: the next one is 4.
    decoder.Decode(1, Rear()[4].data(), static_cast<int32_t>(Rear()[4].size()), kNoTimeUs);
    ASSERT_TRUE(decoder.Show(1, &area));
    EXPECT_EQ(area.Shown().back().pixels, ShownAfter(Rear(), 4).pixels);
}

TEST(Decoder, AKeptPictureFollowsAResizeAndHiddenOrDroppedOnesAreNotShown) {
    CDecoder decoder;
    ASSERT_TRUE(decoder.Open());
    FakePictureArea area(320, 180);
    for (size_t i = 0; i < 3; ++i) {
        decoder.Decode(1, Rear()[i].data(), static_cast<int32_t>(Rear()[i].size()), kNoTimeUs);
        ASSERT_TRUE(decoder.Keep(1, &area, kNoTimeUs, true));
    }
    ASSERT_TRUE(decoder.DropKept(1));
    area.Resize(160, 90);
    ASSERT_TRUE(decoder.ShowKept(1, &area));
    EXPECT_EQ(area.Shown().back().width, 160) << "converted again at the new size";
    area.Resize(0, 0);
    EXPECT_FALSE(decoder.ShowKept(1, &area)) << "taken, but a hidden area shows nothing";
    EXPECT_EQ(decoder.KeptCount(1), 0u);
    EXPECT_EQ(area.Shown().size(), 1u);
    // Deferring (nobody sees the camera) drops what was kept.
    decoder.Decode(1, Rear()[3].data(), static_cast<int32_t>(Rear()[3].size()), kNoTimeUs);
    ASSERT_TRUE(decoder.Keep(1, &area, kNoTimeUs, false));
    decoder.Defer(1, Rear()[4].data(), static_cast<int32_t>(Rear()[4].size()), kNoTimeUs, false);
    EXPECT_EQ(decoder.KeptCount(1), 0u);
    EXPECT_FALSE(decoder.DropKept(1));
    EXPECT_FALSE(decoder.Keep(9, &area, 0, true)) << "no such channel";
}
