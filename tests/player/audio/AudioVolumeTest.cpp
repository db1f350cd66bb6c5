#include "player/audio/AudioVolume.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<uint8_t> S16(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes;
    for (const int16_t s : samples) {
        const auto u = static_cast<uint16_t>(s);
        bytes.push_back(static_cast<uint8_t>(u & 0xFFu));
        bytes.push_back(static_cast<uint8_t>(u >> 8));
    }
    return bytes;
}

std::vector<uint8_t> Scaled(std::vector<uint8_t> bytes, int32_t bits, uint16_t level) {
    ApplyVolume(bytes.data(), static_cast<int32_t>(bytes.size()), bits, level);
    return bytes;
}

} // namespace

TEST(AudioVolume, SliderValuesMapLinearlyOntoGainOfTheLouderChannel) {
    EXPECT_DOUBLE_EQ(VolumeGain(0), 0.0);
    EXPECT_DOUBLE_EQ(VolumeGain(0xFFFFFFFFu), 1.0);
    EXPECT_DOUBLE_EQ(VolumeGain(0x0000FFFFu), 1.0);       // left only
    EXPECT_DOUBLE_EQ(VolumeGain(0xFFFF0000u), 1.0);       // right only
    EXPECT_NEAR(VolumeGain(0x7FFF7FFFu), 0.5, 1e-4);      // slider at 50
    EXPECT_NEAR(VolumeGain(64879u * 65537u), 0.99, 1e-4); // slider at 99
    EXPECT_EQ(VolumeLevel(0x12340100u), 0x1234);
    EXPECT_EQ(VolumeLevel(0x01001234u), 0x1234);
}

TEST(AudioVolume, SixteenBitSamplesAreScaledWithTheirSign) {
    const auto loud = S16({-32768, 32767, 1000, -1000, 0});
    EXPECT_EQ(Scaled(loud, 16, 0xFFFF), loud);
    EXPECT_EQ(Scaled(loud, 16, 0), S16({0, 0, 0, 0, 0}));
    EXPECT_EQ(Scaled(loud, 16, 0x7FFF), S16({-16383, 16383, 499, -499, 0}));
}

TEST(AudioVolume, EightBitSamplesAreScaledAroundTheirMidpoint) {
    const std::vector<uint8_t> loud{0, 255, 128, 64};
    EXPECT_EQ(Scaled(loud, 8, 0xFFFF), loud);
    EXPECT_EQ(Scaled(loud, 8, 0), (std::vector<uint8_t>{128, 128, 128, 128}));
    EXPECT_EQ(Scaled(loud, 8, 0x7FFF), (std::vector<uint8_t>{65, 191, 128, 97}));
}

TEST(AudioVolume, PartialSamplesAndUnknownSizesAreLeftAlone) {
    std::vector<uint8_t> odd = S16({1000});
    odd.push_back(0x55);
    EXPECT_EQ(Scaled(odd, 16, 0), (std::vector<uint8_t>{0, 0, 0x55}));
    const std::vector<uint8_t> wide{1, 2, 3};
    EXPECT_EQ(Scaled(wide, 24, 0), wide);
    ApplyVolume(nullptr, 8, 16, 0); // must not touch anything
}
