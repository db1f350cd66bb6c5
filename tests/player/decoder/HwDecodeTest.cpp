// Hardware decoding's way back to software, on a machine that may have no device: the
// setting's words, the provider's one line, decoding with no device answering, and a device
// of the test's own that fails on a picture.
#include "player/decoder/CFFMH264_Decoder.h"
#include "player/decoder/FFmpegHwDevice.h"
#include "player/decoder/HwDecodePath.h"
#include "player/decoder/HwDeviceProvider.h"
#include "tests/support/H264Samples.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace {

// 160 × 96, key frames every 5 pictures: 0, 5, 10, 15.
const AccessUnits& Units() {
    return H264Samples(160, 96, 20, 5);
}

Picture Native(CFFMH264_Decoder& decoder) {
    Picture picture;
    EXPECT_TRUE(decoder.CopyNative(picture));
    return picture;
}

// The pictures the software decoder gives, one per unit.
const std::vector<Picture>& Reference() {
    static const std::vector<Picture> pictures = [] {
        std::vector<Picture> out;
        CFFMH264_Decoder decoder;
        EXPECT_TRUE(decoder.Open());
        for (const auto& unit : Units()) {
            EXPECT_TRUE(decoder.Decode(unit.data(), static_cast<int32_t>(unit.size())));
            out.push_back(Native(decoder));
        }
        return out;
    }();
    return pictures;
}

// The largest difference of one byte between two pictures of one shape; 256 when the shapes
// differ.
int LargestDifference(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size())
        return 256;
    int largest = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        largest = std::max(largest, std::abs(int{a.pixels[i]} - int{b.pixels[i]}));
    return largest;
}

struct Lines {
    std::vector<std::string> said;
    HwDeviceProvider::Notice Notice() {
        return [this](std::string_view line) { said.emplace_back(line); };
    }
};

// A device that is not one: the context decodes in software, and Download hands each picture
// back in the layout a real device gives (NV12, or P010 for 10-bit), failing where told.
class FakeDevice final : public HwDevice {
public:
    FakeDevice(AVPixelFormat layout, int failFrom, int failUntil)
        : m_layout(layout), m_failFrom(failFrom), m_failUntil(failUntil) {}

    HwDeviceKind Kind() const override { return HwDeviceKind::kVaapi; }
    bool Attach(AVCodecContext*) override { return true; }
    bool Download(AVFrame* decoded, AVFrame* out) override {
        av_frame_unref(out);
        const int call = m_calls++;
        if (call >= m_failFrom && call < m_failUntil)
            return false;
        if (decoded->format != AV_PIX_FMT_YUV420P)
            return false;
        out->format = m_layout;
        out->width = decoded->width;
        out->height = decoded->height;
        if (av_frame_get_buffer(out, 0) < 0 || av_frame_copy_props(out, decoded) < 0)
            return false;
        const bool tenBit = m_layout == AV_PIX_FMT_P010LE;
        for (int y = 0; y < decoded->height; ++y)
            for (int x = 0; x < decoded->width; ++x)
                Put(out, 0, y, x, decoded->data[0][y * decoded->linesize[0] + x], tenBit);
        for (int y = 0; y < decoded->height / 2; ++y)
            for (int x = 0; x < decoded->width / 2; ++x) {
                Put(out, 1, y, 2 * x, decoded->data[1][y * decoded->linesize[1] + x], tenBit);
                Put(out, 1, y, 2 * x + 1, decoded->data[2][y * decoded->linesize[2] + x], tenBit);
            }
        return true;
    }
    int Calls() const { return m_calls; }

private:
    // Sample `index` of row y of a plane: a byte, or a 10-bit value in the top of 16 bits.
    static void Put(AVFrame* frame, int plane, int y, int index, uint8_t value, bool tenBit) {
        uint8_t* row = frame->data[plane] + y * frame->linesize[plane];
        if (!tenBit) {
            row[index] = value;
            return;
        }
        const auto sample = static_cast<uint16_t>((value << 2) << 6);
        row[2 * index] = static_cast<uint8_t>(sample & 0xFF);
        row[2 * index + 1] = static_cast<uint8_t>(sample >> 8);
    }

    const AVPixelFormat m_layout;
    const int m_failFrom;
    const int m_failUntil;
    std::atomic<int> m_calls{0};
};

HwDeviceProvider FakeProvider(std::shared_ptr<FakeDevice> device, Lines& lines) {
    return HwDeviceProvider(HwDecode::kVaapi, lines.Notice(),
                            [device](HwDeviceKind) -> std::shared_ptr<HwDevice> { return device; });
}

bool Decode(CFFMH264_Decoder& decoder, size_t index) {
    const auto& unit = Units()[index];
    return decoder.Decode(unit.data(), static_cast<int32_t>(unit.size()));
}

// The pictures the decoder gives for the units from..until (one each; the last one again for
// a unit that gives none).
std::vector<Picture> DecodeEach(CFFMH264_Decoder& decoder, size_t from, size_t until,
                                std::vector<bool>* produced = nullptr) {
    std::vector<Picture> pictures;
    for (size_t i = from; i < until; ++i) {
        const bool gave = Decode(decoder, i);
        if (produced != nullptr)
            produced->push_back(gave);
        pictures.push_back(Native(decoder));
    }
    return pictures;
}

// The pictures a device that never fails gives, in the layout it brings them back in.
std::vector<Picture> ThroughDevice(AVPixelFormat layout) {
    Lines lines;
    HwDeviceProvider provider = FakeProvider(std::make_shared<FakeDevice>(layout, 0, 0), lines);
    CFFMH264_Decoder decoder;
    EXPECT_TRUE(decoder.Open(VideoCodec::kH264, &provider));
    return DecodeEach(decoder, 0, Units().size());
}

} // namespace

TEST(HwDecodeSetting, ReadsItsFourWordsAndNothingElse) {
    for (const HwDecode choice :
         {HwDecode::kNo, HwDecode::kAuto, HwDecode::kVaapi, HwDecode::kCuda})
        EXPECT_EQ(ParseHwDecode(HwDecodeWord(choice)), choice);
    EXPECT_EQ(ParseHwDecode("VAAPI"), HwDecode::kVaapi);
    for (const char* text : {"", "yes", "nvdec", "vaapi ", "cuda-copy"})
        EXPECT_FALSE(ParseHwDecode(text)) << text;
}

TEST(HwDecodeSetting, KeyUnitsOfBothCodings) {
    // Start code, then the NAL header: H.264 IDR (5) and non-IDR (1); H.265 IDR_W_RADL (19),
    // CRA (21) and TRAIL_R (1), behind a parameter set.
    const uint8_t idr264[] = {0, 0, 0, 1, 0x09, 0xF0, 0, 0, 1, 0x65, 0x88};
    const uint8_t p264[] = {0, 0, 0, 1, 0x41, 0x9A};
    const uint8_t idr265[] = {0, 0, 1, 0x40, 0x01, 0x0C, 0, 0, 1, 0x26, 0x01, 0xAF};
    const uint8_t cra265[] = {0, 0, 1, 0x2A, 0x01, 0xAF};
    const uint8_t trail265[] = {0, 0, 1, 0x02, 0x01, 0xD0};
    EXPECT_TRUE(HwDecodePath::IsKeyUnit(idr264, sizeof idr264, VideoCodec::kH264));
    EXPECT_FALSE(HwDecodePath::IsKeyUnit(p264, sizeof p264, VideoCodec::kH264));
    EXPECT_TRUE(HwDecodePath::IsKeyUnit(idr265, sizeof idr265, VideoCodec::kHevc));
    EXPECT_TRUE(HwDecodePath::IsKeyUnit(cra265, sizeof cra265, VideoCodec::kHevc));
    EXPECT_FALSE(HwDecodePath::IsKeyUnit(trail265, sizeof trail265, VideoCodec::kHevc));
    EXPECT_FALSE(HwDecodePath::IsKeyUnit(idr264, 4, VideoCodec::kH264)); // cut before its NAL
}

TEST(HwDeviceProvider, NoNeverAsksAutoAsksVaapiThenCudaAndOneLineIsSaid) {
    std::vector<HwDeviceKind> asked;
    const auto none = [&asked](HwDeviceKind kind) -> std::shared_ptr<HwDevice> {
        asked.push_back(kind);
        return nullptr;
    };
    Lines lines;
    HwDeviceProvider off(HwDecode::kNo, lines.Notice(), none);
    EXPECT_EQ(off.Acquire(), nullptr);
    EXPECT_TRUE(asked.empty());
    EXPECT_TRUE(lines.said.empty());

    HwDeviceProvider automatic(HwDecode::kAuto, lines.Notice(), none);
    EXPECT_EQ(automatic.Acquire(), nullptr);
    EXPECT_EQ(automatic.Acquire(), nullptr); // asked once, for every channel and recording
    EXPECT_EQ(asked, (std::vector<HwDeviceKind>{HwDeviceKind::kVaapi, HwDeviceKind::kCuda}));
    ASSERT_EQ(lines.said.size(), 1u);
    EXPECT_NE(lines.said[0].find("no VAAPI or CUDA device answered"), std::string::npos)
        << lines.said[0];

    asked.clear();
    HwDeviceProvider cuda(HwDecode::kCuda, lines.Notice(), none);
    EXPECT_EQ(cuda.Acquire(), nullptr);
    EXPECT_EQ(asked, std::vector<HwDeviceKind>{HwDeviceKind::kCuda});
    EXPECT_EQ(lines.said.size(), 2u);
}

TEST(HwDecodeFallback, WithoutADeviceEveryChoiceDecodesInSoftware) {
    CFFMH264_Decoder::SetLibraryMessages(false);
    for (const HwDecode choice : {HwDecode::kVaapi, HwDecode::kCuda, HwDecode::kAuto}) {
        SCOPED_TRACE(std::string(HwDecodeWord(choice)));
        if ((choice != HwDecode::kCuda && FFmpegHwDevice::Create(HwDeviceKind::kVaapi)) ||
            (choice != HwDecode::kVaapi && FFmpegHwDevice::Create(HwDeviceKind::kCuda)))
            GTEST_SKIP() << "a device answers here";
        Lines lines;
        HwDeviceProvider provider(choice, lines.Notice()); // FFmpeg's own devices
        // Two channels, as the player has: one line between them.
        CFFMH264_Decoder front;
        CFFMH264_Decoder rear;
        ASSERT_TRUE(front.Open(VideoCodec::kH264, &provider));
        ASSERT_TRUE(rear.Open(VideoCodec::kH264, &provider));
        EXPECT_FALSE(front.OnHardware());
        for (size_t i = 0; i < Units().size(); ++i) {
            ASSERT_TRUE(Decode(front, i)) << i;
            EXPECT_EQ(LargestDifference(Native(front), Reference()[i]), 0) << i;
        }
        ASSERT_TRUE(Decode(rear, 0));
        EXPECT_EQ(LargestDifference(Native(rear), Reference()[0]), 0);
        ASSERT_EQ(lines.said.size(), 1u);
        EXPECT_NE(lines.said[0].find("decoding in software"), std::string::npos);
    }
}

TEST(HwDecodeFallback, TheConverterTakesThePicturesDevicesBringBack) {
    // NV12 (8-bit) and P010 (10-bit in 16) convert to the gradient's colours, as the software
    // decoder's planar pictures do.
    const AccessUnits& gradient = H264Gradient(160, 96, 2, 25);
    for (const AVPixelFormat layout : {AV_PIX_FMT_NV12, AV_PIX_FMT_P010LE}) {
        SCOPED_TRACE(layout == AV_PIX_FMT_NV12 ? "NV12" : "P010");
        Lines lines;
        auto device = std::make_shared<FakeDevice>(layout, 0, 0);
        HwDeviceProvider provider = FakeProvider(device, lines);
        CFFMH264_Decoder decoder;
        ASSERT_TRUE(decoder.Open(VideoCodec::kH264, &provider));
        for (const auto& unit : gradient)
            ASSERT_TRUE(decoder.Decode(unit.data(), static_cast<int32_t>(unit.size())));
        EXPECT_EQ(device->Calls(), 2);
        Picture picture = Native(decoder);
        ASSERT_EQ(picture.width, 160);
        for (const int y : {4, 48, 90})
            for (const int x : {4, 80, 150}) {
                const Bgr expected = GradientBgr(x, y, 160, 96);
                const uint8_t* pixel = picture.Row(y) + 3 * x;
                EXPECT_NEAR(pixel[0], expected.blue, 4) << x << "," << y;
                EXPECT_NEAR(pixel[1], expected.green, 4) << x << "," << y;
                EXPECT_NEAR(pixel[2], expected.red, 4) << x << "," << y;
            }
    }
}

TEST(HwDecodeFallback, APictureTheDeviceFailsOnIsDecodedAgainInSoftwareWhichGoesOn) {
    // The eighth picture (in the second group, two after its key frame) cannot be brought back.
    const std::vector<Picture> onDevice = ThroughDevice(AV_PIX_FMT_NV12);
    auto device = std::make_shared<FakeDevice>(AV_PIX_FMT_NV12, 7, 8);
    Lines lines;
    HwDeviceProvider provider = FakeProvider(device, lines);
    CFFMH264_Decoder decoder;
    ASSERT_TRUE(decoder.Open(VideoCodec::kH264, &provider));
    ASSERT_TRUE(decoder.OnHardware());
    for (size_t i = 0; i < Units().size(); ++i) {
        ASSERT_TRUE(Decode(decoder, i)) << i;
        // The device's pictures, then the software decoder's from the failed one on.
        const Picture& expected = i < 7 ? onDevice[i] : Reference()[i];
        EXPECT_EQ(LargestDifference(Native(decoder), expected), 0) << i;
        EXPECT_EQ(decoder.OnHardware(), i < 7) << i;
    }
    EXPECT_EQ(device->Calls(), 8); // never asked again after it failed
    ASSERT_EQ(lines.said.size(), 1u);
    EXPECT_NE(lines.said[0].find("VAAPI decoding failed during playback"), std::string::npos)
        << lines.said[0];

    // The next recording is not trusted to it either, and nothing more is said.
    ASSERT_TRUE(decoder.Open(VideoCodec::kH264, &provider));
    EXPECT_FALSE(decoder.OnHardware());
    ASSERT_TRUE(Decode(decoder, 0));
    EXPECT_EQ(lines.said.size(), 1u);
}

TEST(HwDecodeFallback, ADeviceFailingWithoutKeptPacketsHandsOverAtTheNextKeyFrame) {
    // From the seventh picture on the device fails, and no packets are kept to decode the
    // failed ones again.
    const std::vector<Picture> onDevice = ThroughDevice(AV_PIX_FMT_P010LE);
    auto device = std::make_shared<FakeDevice>(AV_PIX_FMT_P010LE, 6, 1000);
    Lines lines;
    HwDeviceProvider provider = FakeProvider(device, lines);
    CFFMH264_Decoder decoder;
    decoder.SetHwReplayLimit(0);
    ASSERT_TRUE(decoder.Open(VideoCodec::kH264, &provider));
    std::vector<bool> produced;
    const std::vector<Picture> pictures = DecodeEach(decoder, 0, Units().size(), &produced);
    for (size_t i = 0; i < pictures.size(); ++i) {
        // Pictures 6 to 9 do not come; the one before stays until the key frame at 10.
        EXPECT_EQ(produced[i], i < 6 || i >= 10) << i;
        const Picture& expected = i < 6 ? onDevice[i] : i < 10 ? onDevice[5] : Reference()[i];
        EXPECT_EQ(LargestDifference(pictures[i], expected), 0) << i;
    }
    EXPECT_EQ(device->Calls(), 7);
    EXPECT_EQ(lines.said.size(), 1u);
}
