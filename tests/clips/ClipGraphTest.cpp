#include "clips/ClipGraph.h"

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
}

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using clips::ArrangePictures;
using clips::CameraSize;
using clips::Layout;
using clips::Placement;

void ExpectPlace(const Placement& place, int camera, int x, int y, int width, int height) {
    EXPECT_EQ(place.camera, camera);
    EXPECT_EQ(place.x, x);
    EXPECT_EQ(place.y, y);
    EXPECT_EQ(place.width, width);
    EXPECT_EQ(place.height, height);
}

TEST(ArrangePictures, PictureInPictureIsAQuarterOfTheWidthInTheLowerRight) {
    const clips::PictureLayout pip = ArrangePictures(Layout::kPip, {{1920, 1080}, {1280, 720}});
    EXPECT_EQ(pip.width, 1920);
    EXPECT_EQ(pip.height, 1080);
    ASSERT_EQ(pip.places.size(), 2u);
    ExpectPlace(pip.places[0], 0, 0, 0, 1920, 1080);
    ExpectPlace(pip.places[1], 1, 1920 - 480 - 24, 1080 - 270 - 24, 480, 270);
    // Only the rear is laid in, whatever else the recording holds.
    EXPECT_EQ(ArrangePictures(Layout::kPip, {{1280, 720}, {640, 360}, {640, 360}}).places.size(),
              2u);
}

TEST(ArrangePictures, SideBySideAtTheFrontsHeight) {
    const clips::PictureLayout side = ArrangePictures(Layout::kSide, {{1280, 720}, {640, 360}});
    EXPECT_EQ(side.width, 2560);
    EXPECT_EQ(side.height, 720);
    ASSERT_EQ(side.places.size(), 2u);
    ExpectPlace(side.places[1], 1, 1280, 0, 1280, 720);
    // A 4:3 interior camera keeps its shape.
    const clips::PictureLayout three =
        ArrangePictures(Layout::kSide, {{1280, 720}, {1280, 720}, {640, 480}});
    EXPECT_EQ(three.width, 1280 + 1280 + 960);
    ExpectPlace(three.places[2], 2, 2560, 0, 960, 720);
}

TEST(ArrangePictures, GridCellsAreTheFrontDividedByTheColumns) {
    const clips::PictureLayout two = ArrangePictures(Layout::kGrid, {{1280, 720}, {1920, 1080}});
    EXPECT_EQ(two.width, 1280);
    EXPECT_EQ(two.height, 360);
    ExpectPlace(two.places[0], 0, 0, 0, 640, 360);
    ExpectPlace(two.places[1], 1, 640, 0, 640, 360);

    const clips::PictureLayout three =
        ArrangePictures(Layout::kGrid, {{1280, 720}, {1280, 720}, {640, 480}});
    EXPECT_EQ(three.width, 1280);
    EXPECT_EQ(three.height, 720);
    // The 4:3 camera fits its cell's height, centred across it.
    ExpectPlace(three.places[2], 2, 80, 360, 480, 360);

    const clips::PictureLayout five = ArrangePictures(
        Layout::kGrid, {{1920, 1080}, {1920, 1080}, {1920, 1080}, {1920, 1080}, {1920, 1080}});
    EXPECT_EQ(five.width, 1920);
    EXPECT_EQ(five.height, 720);
    ASSERT_EQ(five.places.size(), 5u);
    ExpectPlace(five.places[4], 4, 640, 360, 640, 360);
    // At most six.
    EXPECT_EQ(ArrangePictures(Layout::kGrid, std::vector<CameraSize>(8, {640, 360})).places.size(),
              6u);
}

TEST(ArrangePictures, WithoutARearEveryLayoutIsTheFront) {
    for (const Layout layout : {Layout::kFront, Layout::kPip, Layout::kSide, Layout::kGrid}) {
        for (const std::vector<CameraSize>& cameras :
             {std::vector<CameraSize>{{1280, 720}}, std::vector<CameraSize>{{1280, 720}, {}}}) {
            const clips::PictureLayout alone = ArrangePictures(layout, cameras);
            EXPECT_EQ(alone.width, 1280);
            EXPECT_EQ(alone.height, 720);
            ASSERT_EQ(alone.places.size(), 1u);
            ExpectPlace(alone.places[0], 0, 0, 0, 1280, 720);
        }
    }
    EXPECT_TRUE(ArrangePictures(Layout::kPip, {{}, {1280, 720}}).places.empty());
    // Odd sizes come out even, as 4:2:0 needs.
    const clips::PictureLayout odd = ArrangePictures(Layout::kFront, {{721, 405}});
    EXPECT_EQ(odd.width % 2, 0);
    EXPECT_EQ(odd.height % 2, 0);
}

// What libavfilter makes of an escaped text: the graph's parser first, then the filter's
// option parser.
std::string Unescaped(const std::string& graphArguments) {
    const char* graph = graphArguments.c_str();
    char* arguments = av_get_token(&graph, "[],;");
    const char* option = arguments;
    char* value = av_get_token(&option, ":");
    std::string out = value;
    const bool whole = *graph == '\0' && *option == '\0';
    av_free(value);
    av_free(arguments);
    return whole ? out : out + "<cut>";
}

TEST(FilterEscaping, TextComesThroughBothParsersUnchanged) {
    for (const std::string& text :
         {std::string("plain"), std::string("10:10:12 +09:00"), std::string("it's 50%"),
          std::string("back\\slash"), std::string("a,b;c[d]e"),
          std::string("two\nlines: 'x'\\%{pts}")}) {
        EXPECT_EQ(Unescaped(clips::EscapeGraphArguments(clips::EscapeOptionValue(text))), text);
    }
}

AVFrame* Picture(int width, int height, uint8_t luma, int64_t pts) {
    AVFrame* frame = av_frame_alloc();
    frame->width = width;
    frame->height = height;
    frame->format = AV_PIX_FMT_YUV420P;
    av_frame_get_buffer(frame, 0);
    for (int y = 0; y < height; ++y)
        std::memset(frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0], luma,
                    static_cast<size_t>(width));
    for (int plane = 1; plane < 3; ++plane)
        for (int y = 0; y < height / 2; ++y)
            std::memset(frame->data[plane] + static_cast<ptrdiff_t>(y) * frame->linesize[plane],
                        128, static_cast<size_t>(width / 2));
    frame->pts = pts;
    return frame;
}

TEST(ClipGraph, EveryLayoutBuildsAndTakesTextChanges) {
    const std::string nasty = "2024-03-05 09:08:14 +09:00   -- km/h\nno GPS\nit's [a,b];c\\d 5%";
    for (const Layout layout : {Layout::kFront, Layout::kPip, Layout::kSide, Layout::kGrid}) {
        SCOPED_TRACE(clips::LayoutWord(layout));
        const clips::PictureLayout arranged = ArrangePictures(layout, {{320, 180}, {160, 90}});
        std::vector<std::string> labels;
        std::vector<clips::GraphInput> inputs;
        for (const Placement& place : arranged.places) {
            labels.push_back("c" + std::to_string(labels.size()));
            inputs.push_back(place.camera == 0
                                 ? clips::GraphInput{320, 180, AV_PIX_FMT_YUV420P, {1, 1}}
                                 : clips::GraphInput{160, 90, AV_PIX_FMT_YUV420P, {1, 1}});
        }
        const std::string description =
            clips::FilterDescription(arranged, labels, "out", true, nasty);
        clips::ClipGraph graph;
        std::string error;
        ASSERT_TRUE(graph.Build(description, inputs, error)) << error << "\n" << description;
        EXPECT_EQ(graph.Width(), arranged.width);
        EXPECT_EQ(graph.Height(), arranged.height);
        EXPECT_TRUE(graph.ChangeText(nasty + " again: 'q'", 1000000 / 30));

        int pictures = 0;
        AVFrame* out = av_frame_alloc();
        for (int k = 0; k < 3; ++k) {
            for (size_t input = 0; input < inputs.size(); ++input) {
                AVFrame* in = Picture(inputs[input].width, inputs[input].height,
                                      input == 0 ? 16 : 235, k * 1000000 / 30);
                ASSERT_GE(graph.Push(input, in), 0);
                av_frame_free(&in);
            }
            while (graph.Pull(out) >= 0) {
                ++pictures;
                EXPECT_EQ(out->format, AV_PIX_FMT_YUV420P);
                av_frame_unref(out);
            }
        }
        for (size_t input = 0; input < inputs.size(); ++input)
            ASSERT_GE(graph.End(input), 0);
        while (graph.Pull(out) >= 0) {
            ++pictures;
            av_frame_unref(out);
        }
        av_frame_free(&out);
        EXPECT_EQ(pictures, 3); // one for each front picture
    }
}

TEST(ClipGraph, WithoutTheOverlayThereIsNoTextToChange) {
    const clips::PictureLayout arranged = ArrangePictures(Layout::kFront, {{320, 180}});
    clips::ClipGraph graph;
    std::string error;
    ASSERT_TRUE(graph.Build(clips::FilterDescription(arranged, {"c0"}, "out", false, ""),
                            {{320, 180, AV_PIX_FMT_YUV420P, {1, 1}}}, error))
        << error;
    EXPECT_FALSE(graph.ChangeText("x", 0));
    // A description the parser rejects says so.
    clips::ClipGraph bad;
    EXPECT_FALSE(
        bad.Build("[c0]nosuchfilter[out]", {{320, 180, AV_PIX_FMT_YUV420P, {1, 1}}}, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
