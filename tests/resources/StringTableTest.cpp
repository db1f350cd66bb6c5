#include "resources/strings/StringTable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

constexpr uint16_t kKorean = 0x12;
constexpr uint16_t kEnglish = 0x09;

bool IsValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x6  ? 2
                              : (lead >> 4) == 0xE  ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

bool HasHangul(const std::string& text) {
    return text.find('\xEA') != std::string::npos || text.find('\xEB') != std::string::npos ||
           text.find('\xEC') != std::string::npos || text.find('\xED') != std::string::npos;
}

TEST(StringTableTest, EveryTextIsUniqueValidUtf8AndPairsBack) {
    std::set<int> seen;
    for (int id : StringIds()) {
        EXPECT_TRUE(seen.insert(id).second) << "id " << id << " stored twice";
        ASSERT_NE(StringText(id), nullptr);
        EXPECT_TRUE(IsValidUtf8(StringText(id))) << id;
        const int other = PairedStringId(id);
        if (other != 0) {
            EXPECT_EQ(PairedStringId(other), id) << id;
        }
    }
}

TEST(StringTableTest, KoreanPairsHaveTheirEnglishHalf) {
    const int koreanIds[] = {326, 330, 336, 338, 340, 342, 344, 346, 348, 350, 352, 354,
                             356, 358, 360, 362, 396, 398, 403, 405, 407, 409, 411, 413,
                             415, 421, 427, 429, 432, 443, 445, 447, 449, 451};
    for (int id : koreanIds) {
        EXPECT_EQ(PairedStringId(id), id + 1) << id;
        EXPECT_TRUE(HasHangul(PickText(id, kKorean))) << id;
        EXPECT_FALSE(HasHangul(PickText(id, kEnglish))) << id;
        EXPECT_EQ(PickText(id + 1, kKorean), PickText(id, kKorean)) << id;
    }
    EXPECT_EQ(PickText(400, kKorean), "PC Viewer");
    EXPECT_EQ(PickText(400, kEnglish), "PC Viewer");
    // The type column's English title is stored apart from its Korean one.
    EXPECT_EQ(PickText(431, kKorean), "종류");
    EXPECT_EQ(PickText(431, kEnglish), "Type");
    EXPECT_EQ(PickText(442, kKorean), "종류");
}

TEST(StringTableTest, PicksByPrimaryLanguage) {
    EXPECT_EQ(PickText(413, kKorean), "종료 하시겠습니까?");
    EXPECT_EQ(PickText(413, 0x0412), "종료 하시겠습니까?");
    EXPECT_EQ(PickText(413, kEnglish), "Are you sure you want to quit?");
    EXPECT_EQ(PickText(414, 0x07), "Are you sure you want to quit?");
    EXPECT_EQ(PickText(421, kEnglish), "Blackbox info not found.\nPlease check location of drive");
    EXPECT_EQ(PickText(446, kEnglish),
              "Does not recognize SD Card. \n Please try again in a few minutes.");
    EXPECT_EQ(PickText(402, kKorean), "VarnelPlayer");
    EXPECT_EQ(PickText(402, kEnglish), "VarnelPlayer");
    EXPECT_EQ(PairedStringId(402), 0);
}

TEST(StringTableTest, UnknownIdsGiveNothing) {
    EXPECT_EQ(StringText(441), nullptr);
    EXPECT_EQ(PickText(441, kEnglish), "");
    EXPECT_EQ(PickText(-1, kKorean), "");
    EXPECT_EQ(FormatText(9999, kEnglish, 5), "");
}

TEST(StringTableTest, FormatTextKeepsPlainTexts) {
    EXPECT_EQ(FormatText(415, kKorean), "선택");
    EXPECT_EQ(FormatText(445, kEnglish), PickText(446, kEnglish));
}

TEST(StringTableTest, TimeZonesRunFromMinusTwelveToPlusTwelveInBothLanguages) {
    for (int entry = 0; entry < kTimeZoneCount; ++entry) {
        const int id = kTimeZoneFirstId + 2 * entry;
        char offset[16];
        std::snprintf(offset, sizeof offset, "GMT%c%02d:00", entry <= 12 ? '-' : '+',
                      entry < 12 ? 12 - entry : entry - 12);
        const std::string korean = PickText(id, kKorean);
        const std::string english = PickText(id, kEnglish);
        EXPECT_EQ(korean.rfind(offset, 0), 0u) << korean;
        EXPECT_EQ(english.rfind(offset, 0), 0u) << english;
        EXPECT_EQ(HasHangul(korean), entry != 0) << korean;
        EXPECT_FALSE(HasHangul(english)) << english;
    }
    EXPECT_EQ(PickText(454, kEnglish), "GMT-12:00");
    EXPECT_EQ(PickText(477, kEnglish), "GMT-00:00 London, Lisbon, Dublin");
    EXPECT_EQ(PickText(495, kEnglish), "GMT+09:00 Seoul, Tokyo");
    EXPECT_EQ(PickText(501, kEnglish), "GMT+12:00 Wellington");
}

} // namespace
