#include "telemetry/SpeedUnit.h"
#include "ui/logic/StatusText.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace speedunit;

TEST(SpeedUnitTest, LocaleDefaultsByTerritory) {
    for (const char* miles : {"en_US.UTF-8", "es_US.utf8", "en_us", "en_GB.UTF-8@euro", "en-gb",
                              "gd_GB", "en_IM", "es_PR", "en_GU", "my_MM", "en_LR"})
        EXPECT_EQ(DefaultForLocale(miles), SpeedUnit::kMph) << miles;
    for (const char* km : {"", "C", "POSIX", "C.UTF-8", "en", "en_CA.UTF-8", "en_AU", "en_IE",
                           "de_DE@euro", "ko_KR.UTF-8", "es_419", "en_USA", "US", "en_"})
        EXPECT_EQ(DefaultForLocale(km), SpeedUnit::kKmh) << '"' << km << '"';
    // The first variable set and not empty decides.
    EXPECT_EQ(DefaultFromEnvironment("", "en_GB", "de_DE"), SpeedUnit::kMph);
    EXPECT_EQ(DefaultFromEnvironment(nullptr, "de_DE", "en_US"), SpeedUnit::kKmh);
    EXPECT_EQ(DefaultFromEnvironment(nullptr, nullptr, "en_US"), SpeedUnit::kMph);
    EXPECT_EQ(DefaultFromEnvironment(nullptr, "", nullptr), SpeedUnit::kKmh);
}

TEST(SpeedUnitTest, WordsConversionsAndTexts) {
    for (const SpeedUnit unit : {SpeedUnit::kKmh, SpeedUnit::kMph}) {
        EXPECT_EQ(FromWord(Word(unit), Toggle(unit)), unit);
        EXPECT_NE(Toggle(unit), unit);
    }
    EXPECT_EQ(FromWord("MPH", SpeedUnit::kKmh), SpeedUnit::kMph);
    EXPECT_EQ(FromWord("miles", SpeedUnit::kKmh), SpeedUnit::kKmh);
    EXPECT_DOUBLE_EQ(Speed(160.9344, SpeedUnit::kMph), 100.0);
    EXPECT_DOUBLE_EQ(Distance(16.09344, SpeedUnit::kMph), 10.0);
    EXPECT_STREQ(SpeedName(SpeedUnit::kMph), "mph");
    EXPECT_STREQ(DistanceName(SpeedUnit::kMph), "mi");

    // The status text: km/h as it always was, mph of the converted speed, both truncated.
    using StatusText::SpeedText;
    EXPECT_EQ(SpeedText(99.9, SpeedUnit::kKmh), "99Km/h");
    EXPECT_EQ(SpeedText(100.0, SpeedUnit::kMph), "62mph"); // 62.14
    EXPECT_EQ(SpeedText(-10.0, SpeedUnit::kMph), "-6mph");
    EXPECT_EQ(SpeedText(std::nan(""), SpeedUnit::kMph), "0mph");
}

} // namespace
