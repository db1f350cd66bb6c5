#include "player/audio/CAudioTempo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr int32_t kRate = 8000;

// Four seconds of a quiet 440 Hz tone with a 10 ms click at the start of each second, in
// 240 ms blocks (the demo card's sound).
std::vector<std::vector<uint8_t>> ClickTrack() {
    std::vector<std::vector<uint8_t>> blocks;
    for (int64_t n = 0; n < 4 * kRate;) {
        std::vector<uint8_t> block(3840);
        for (size_t i = 0; i < block.size(); i += 2, ++n) {
            const int64_t inSecond = n % kRate;
            double v =
                900.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * static_cast<double>(n) / kRate);
            if (inSecond < 80)
                v += ((inSecond / 4) % 2 == 0 ? 1.0 : -1.0) * 12000.0 *
                     static_cast<double>(80 - inSecond) / 80.0;
            const auto sample = static_cast<int16_t>(std::lround(v));
            block[i] = static_cast<uint8_t>(sample & 0xFF);
            block[i + 1] = static_cast<uint8_t>((sample >> 8) & 0xFF);
        }
        blocks.push_back(std::move(block));
    }
    return blocks;
}

// Output sample indexes where a loud stretch starts after at least 100 ms of quiet.
std::vector<int64_t> ClickStarts(const std::vector<uint8_t>& pcm) {
    std::vector<int64_t> starts;
    int64_t quiet = kRate;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        const auto sample = static_cast<int16_t>(pcm[i] | (pcm[i + 1] << 8));
        if (std::abs(static_cast<int>(sample)) >= 4000) {
            if (quiet >= kRate / 10)
                starts.push_back(static_cast<int64_t>(i / 2));
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return starts;
}

TEST(AudioTempo, OutputLastsInputOverTempoAndKeepsEachMomentInPlace) {
    const auto blocks = ClickTrack();
    for (const double tempo : {0.5, 0.75, 1.5, 2.0}) {
        SCOPED_TRACE(tempo);
        CAudioTempo stretch;
        ASSERT_TRUE(stretch.Begin(16, kRate, tempo));
        std::vector<uint8_t> out;
        for (const auto& block : blocks)
            ASSERT_TRUE(stretch.Process(block.data(), static_cast<int32_t>(block.size()), out));
        // It keeps back at most about one block of input.
        const double inSamples = 4.0 * kRate;
        const double outSamples = static_cast<double>(out.size() / 2);
        EXPECT_LE(outSamples, inSamples / tempo + 8);
        EXPECT_GE(outSamples, (inSamples - 1920 - 800) / tempo);
        // Output sample n stands for input sample n × tempo: each click that came out is
        // within the analysis window (30 ms) of its place.
        const auto clicks = ClickStarts(out);
        ASSERT_GE(clicks.size(), 2u);
        for (const int64_t click : clicks) {
            const double inputSecond = static_cast<double>(click) * tempo / kRate;
            EXPECT_NEAR(inputSecond, std::round(inputSecond), 0.035) << click;
        }
    }
}

TEST(AudioTempo, RefusesWhatItCannotStretchAndStartsOverOnBegin) {
    CAudioTempo stretch;
    std::vector<uint8_t> out;
    const std::vector<uint8_t> block(3840, 0);
    EXPECT_FALSE(stretch.Process(block.data(), 3840, out)) << "nothing begun";
    EXPECT_FALSE(stretch.Begin(16, kRate, 0.25));
    EXPECT_FALSE(stretch.Begin(16, kRate, 4.0));
    EXPECT_FALSE(stretch.Begin(12, kRate, 1.5));
    EXPECT_FALSE(stretch.Begin(16, 0, 1.5));
    EXPECT_FALSE(stretch.Process(block.data(), 3840, out));
    EXPECT_TRUE(out.empty());

    // 8-bit sound comes out as 8-bit sound.
    ASSERT_TRUE(stretch.Begin(8, kRate, 2.0));
    const std::vector<uint8_t> quiet(1920, 0x80);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(stretch.Process(quiet.data(), 1920, out));
    EXPECT_GT(out.size(), 1920u);
    EXPECT_LE(out.size(), 3840u + 4);
    for (const uint8_t sample : out)
        EXPECT_NEAR(sample, 0x80, 2);
    // Begin drops what the stretch held.
    out.clear();
    ASSERT_TRUE(stretch.Begin(16, kRate, 2.0));
    ASSERT_TRUE(stretch.Process(block.data(), 3840, out));
    EXPECT_LE(out.size(), 1920u);
    EXPECT_TRUE(stretch.Process(block.data(), 0, out)) << "an empty feed is no failure";
}

} // namespace
