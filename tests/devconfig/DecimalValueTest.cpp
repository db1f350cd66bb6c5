#include "devconfig/DecimalValue.h"

#include <climits>
#include <gtest/gtest.h>

TEST(DecimalValueTest, ReadsLikeAtoi) {
    EXPECT_EQ(DecimalValue("42"), 42);
    EXPECT_EQ(DecimalValue("  -7"), -7);
    EXPECT_EQ(DecimalValue("\t+15x"), 15);
    EXPECT_EQ(DecimalValue("-200"), -200);
    EXPECT_EQ(DecimalValue("12.9"), 12);
    EXPECT_EQ(DecimalValue("abc"), 0);
    EXPECT_EQ(DecimalValue(""), 0);
    EXPECT_EQ(DecimalValue("-"), 0);
    EXPECT_EQ(DecimalValue("- 5"), 0);
}

TEST(DecimalValueTest, SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(DecimalValue("2147483647"), INT_MAX);
    EXPECT_EQ(DecimalValue("-2147483648"), INT_MIN);
    EXPECT_EQ(DecimalValue("2147483648"), INT_MAX);
    EXPECT_EQ(DecimalValue("-99999999999999999999999"), INT_MIN);
}

TEST(DecimalValueTest, StopsAtTheViewsEnd) {
    const std::string_view text = "12345";
    EXPECT_EQ(DecimalValue(text.substr(0, 2)), 12);
}
