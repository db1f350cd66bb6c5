#include "ui/logic/SpeedUnit.h"
#include "ui/logic/StatusText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using speedunit::DefaultForLocale;
using speedunit::DefaultFromEnvironment;

TEST(SpeedUnitTest, LocaleDefaultsByTerritory) {
    for (const char* miles :
         {"en_US.UTF-8", "en_GB", "en_GB.UTF-8@euro", "es_US.utf8", "en_PR", "es_PR.UTF-8", "en_GU",
          "en_VI", "my_MM.UTF-8", "en_LR", "en-gb", "en_us", "gd_GB.UTF-8", "en_IM"})
        EXPECT_EQ(DefaultForLocale(miles), SpeedUnit::kMph) << miles;
    for (const char* kilometres :
         {"", "C", "POSIX", "C.UTF-8", "en", "en.UTF-8", "en_CA.UTF-8", "en_AU", "en_IE", "en_IN",
          "de_DE.UTF-8", "ko_KR.UTF-8", "es_419.UTF-8", "fr_FR@euro", "en_USA", "US", "en_"})
        EXPECT_EQ(DefaultForLocale(kilometres), SpeedUnit::kKmh) << '"' << kilometres << '"';

    // The first variable set and not empty decides.
    EXPECT_EQ(DefaultFromEnvironment("en_US.UTF-8", "de_DE", "de_DE"), SpeedUnit::kMph);
    EXPECT_EQ(DefaultFromEnvironment("", "en_GB", "de_DE"), SpeedUnit::kMph);
    EXPECT_EQ(DefaultFromEnvironment(nullptr, "de_DE", "en_US"), SpeedUnit::kKmh);
    EXPECT_EQ(DefaultFromEnvironment(nullptr, nullptr, "en_US"), SpeedUnit::kMph);
    EXPECT_EQ(DefaultFromEnvironment(nullptr, "", nullptr), SpeedUnit::kKmh);
}

TEST(SpeedUnitTest, WordsToggleConversionsAndTexts) {
    using namespace speedunit;
    for (const SpeedUnit unit : {SpeedUnit::kKmh, SpeedUnit::kMph}) {
        EXPECT_EQ(FromWord(Word(unit), Toggle(unit)), unit);
        EXPECT_EQ(Toggle(Toggle(unit)), unit);
        EXPECT_NE(Toggle(unit), unit);
    }
    EXPECT_STREQ(Word(SpeedUnit::kMph), "mph");
    EXPECT_STREQ(Word(SpeedUnit::kKmh), "kmh");
    EXPECT_EQ(FromWord("MPH", SpeedUnit::kKmh), SpeedUnit::kMph);
    EXPECT_EQ(FromWord("miles", SpeedUnit::kKmh), SpeedUnit::kKmh);
    EXPECT_EQ(FromWord("", SpeedUnit::kMph), SpeedUnit::kMph);

    EXPECT_DOUBLE_EQ(Speed(160.9344, SpeedUnit::kMph), 100.0);
    EXPECT_DOUBLE_EQ(Speed(97.5, SpeedUnit::kKmh), 97.5);
    EXPECT_DOUBLE_EQ(Distance(16.09344, SpeedUnit::kMph), 10.0);
    EXPECT_DOUBLE_EQ(Distance(3.2, SpeedUnit::kKmh), 3.2);
    EXPECT_STREQ(SpeedName(SpeedUnit::kKmh), "km/h");
    EXPECT_STREQ(SpeedName(SpeedUnit::kMph), "mph");
    EXPECT_STREQ(DistanceName(SpeedUnit::kKmh), "km");
    EXPECT_STREQ(DistanceName(SpeedUnit::kMph), "mi");

    // The status text: km/h as it always was, mph of the converted speed, both truncated.
    EXPECT_EQ(StatusText::SpeedText(99.9, SpeedUnit::kKmh), "99Km/h");
    EXPECT_EQ(StatusText::SpeedText(99.9, SpeedUnit::kKmh), StatusText::SpeedText(99.9));
    EXPECT_EQ(StatusText::SpeedText(100.0, SpeedUnit::kMph), "62mph"); // 62.14
    EXPECT_EQ(StatusText::SpeedText(1.6, SpeedUnit::kMph), "0mph");
    EXPECT_EQ(StatusText::SpeedText(-10.0, SpeedUnit::kMph), "-6mph");
    EXPECT_EQ(StatusText::SpeedText(std::nan(""), SpeedUnit::kMph), "0mph");
}

} // namespace
