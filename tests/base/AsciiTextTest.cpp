// ASCII character tests, letter case and file-name extensions: the C locale's answers whatever
// locale the process runs in.
#include "base/AsciiText.h"

#include <gtest/gtest.h>

#include <string>

TEST(AsciiTextTest, CharacterClassesAndCaseStayAscii) {
    for (int i = 0; i < 256; ++i) {
        const char c = static_cast<char>(i);
        EXPECT_EQ(ascii::IsDigit(c), i >= '0' && i <= '9') << i;
        EXPECT_EQ(ascii::IsSpace(c), i == ' ' || (i >= '\t' && i <= '\r')) << i;
        EXPECT_EQ(ascii::IsAlnum(c),
                  (i >= '0' && i <= '9') || (i >= 'A' && i <= 'Z') || (i >= 'a' && i <= 'z'))
            << i;
        if (i >= 128) {
            // Bytes of UTF-8 and of the Latin code pages keep their value.
            EXPECT_EQ(ascii::ToLower(c), c) << i;
            EXPECT_EQ(ascii::ToUpper(c), c) << i;
            EXPECT_FALSE(ascii::IsUpper(c)) << i;
        }
    }
    EXPECT_EQ(ascii::ToLower('A'), 'a');
    EXPECT_EQ(ascii::ToLower('Z'), 'z');
    EXPECT_EQ(ascii::ToLower('['), '['); // just after 'Z'
    EXPECT_EQ(ascii::ToLower('@'), '@'); // just before 'A'
    EXPECT_EQ(ascii::ToUpper('z'), 'Z');
    EXPECT_EQ(ascii::ToUpper('`'), '`');
    EXPECT_EQ(ascii::HexValue('0'), 0);
    EXPECT_EQ(ascii::HexValue('f'), 15);
    EXPECT_EQ(ascii::HexValue('F'), 15);
    EXPECT_EQ(ascii::HexValue('g'), -1);
    EXPECT_EQ(ascii::HexValue('G'), -1);
    EXPECT_EQ(ascii::HexValue('/'), -1);

    EXPECT_EQ(ascii::LowerCopy("REC_2024.MP4"), "rec_2024.mp4");
    EXPECT_TRUE(ascii::EqualsIgnoreCase("Event", "eVENT"));
    EXPECT_FALSE(ascii::EqualsIgnoreCase("event", "events"));
    EXPECT_FALSE(ascii::EqualsIgnoreCase("a[", "A{")); // '[' and '{' are no letters
    EXPECT_TRUE(ascii::EqualsIgnoreCase("", ""));
}

TEST(AsciiTextTest, ExtensionsOfTheLastPartOfAPath) {
    EXPECT_EQ(ascii::ExtensionOf("/card/DCIM/A.MP4"), "MP4");
    EXPECT_EQ(ascii::ExtensionOf("trip.tar.gz"), "gz");
    EXPECT_EQ(ascii::ExtensionOf("/card/.nmea"), "nmea");
    EXPECT_EQ(ascii::ExtensionOf("name."), "");
    EXPECT_EQ(ascii::ExtensionOf("README"), "");
    EXPECT_EQ(ascii::ExtensionOf("/card/v1.2/README"), ""); // a dot of a folder's name
    EXPECT_EQ(ascii::ExtensionOf(""), "");

    EXPECT_TRUE(ascii::HasExtension("/card/EVENT_20240305_090702_D.avi", "avi"));
    EXPECT_TRUE(ascii::HasExtension("/card/EVENT_20240305_090702_D.AVI", "avi"));
    EXPECT_TRUE(ascii::HasExtension("clip.Mp4", "MP4"));
    EXPECT_FALSE(ascii::HasExtension("clip.mp4", "mp"));
    EXPECT_FALSE(ascii::HasExtension("clip.mp4x", "mp4"));
    EXPECT_FALSE(ascii::HasExtension("avi", "avi"));            // no dot
    EXPECT_FALSE(ascii::HasExtension("/card/avi/clip", "avi")); // a folder, not an extension
    EXPECT_FALSE(ascii::HasExtension("/card.avi/clip", "avi"));
    EXPECT_TRUE(ascii::HasExtension("README", ""));
}
