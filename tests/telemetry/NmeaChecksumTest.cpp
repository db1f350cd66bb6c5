// The NMEA checksum every reader and writer of sentences shares.
#include "telemetry/NmeaChecksum.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char kPublished[] =
    "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";

} // namespace

TEST(NmeaChecksumTest, ThePublishedExampleWithAndWithoutItsFrame) {
    EXPECT_EQ(nmea::Checksum(kPublished), 0x6A);
    EXPECT_EQ(nmea::Checksum("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
              0x6A);
    EXPECT_EQ(nmea::StatedChecksum(kPublished), 0x6A);
    EXPECT_TRUE(nmea::ChecksumMatches(kPublished));
    // Only the first '$' is left out; the sum stops at the first '*'.
    EXPECT_EQ(nmea::Checksum("$$A"), '$' ^ 'A');
    EXPECT_EQ(nmea::Checksum("$AB*CD*"), 'A' ^ 'B');
    EXPECT_EQ(nmea::Checksum(""), 0);
}

TEST(NmeaChecksumTest, StatedSumsNeedTwoHexDigitsAfterTheStar) {
    EXPECT_EQ(nmea::StatedChecksum("$A*4c"), 0x4C);
    EXPECT_EQ(nmea::StatedChecksum("$A*4Cxyz"), 0x4C); // what follows the digits is not read
    EXPECT_EQ(nmea::StatedChecksum("$A*4"), -1);
    EXPECT_EQ(nmea::StatedChecksum("$A*4G"), -1);
    EXPECT_EQ(nmea::StatedChecksum("$A*"), -1);
    EXPECT_EQ(nmea::StatedChecksum("$A,41"), -1);

    EXPECT_TRUE(nmea::ChecksumMatches("$A*41"));
    EXPECT_FALSE(nmea::ChecksumMatches("$A*42"));
    EXPECT_FALSE(nmea::ChecksumMatches("A*41")); // no '$'
    EXPECT_TRUE(nmea::ChecksumMatches("$*00"));  // an empty body sums to 0
}

TEST(NmeaChecksumTest, WrittenSentencesCarryTheirSumInCapitals) {
    const std::string sentence =
        nmea::WithChecksum("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
    EXPECT_EQ(sentence, kPublished);
    EXPECT_EQ(nmea::WithChecksum("GSENSOR,0.10,-0.20,1.00"), "$GSENSOR,0.10,-0.20,1.00*4C");
    EXPECT_EQ(nmea::WithChecksum("\x0f"), "$\x0f*0F"); // a leading zero digit is kept
    EXPECT_TRUE(nmea::ChecksumMatches(nmea::WithChecksum("GNRMC,,V,,,,,,,,,,N")));
}
