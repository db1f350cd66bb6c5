#include "ui/logic/Language.h"

#include <gtest/gtest.h>

TEST(LanguageTest, LocaleNamesGiveTheirPrimaryLanguage) {
    EXPECT_EQ(LanguageIdFromLocale("ko_KR.UTF-8"), 0x12);
    EXPECT_EQ(LanguageIdFromLocale("ko_KR.eucKR"), 0x12);
    EXPECT_EQ(LanguageIdFromLocale("KO"), 0x12);
    EXPECT_EQ(LanguageIdFromLocale("en_US"), 0x09);
    EXPECT_EQ(LanguageIdFromLocale("de_DE@euro"), 0x07);
    EXPECT_EQ(LanguageIdFromLocale("ja"), 0x11);
    EXPECT_EQ(LanguageIdFromLocale("pt-BR"), 0x16);
    EXPECT_EQ(LanguageIdFromLocale("nb_NO.UTF-8"), 0x14);
    EXPECT_EQ(LanguageIdFromLocale("zh_TW"), 0x04);
    EXPECT_TRUE(IsKorean(LanguageIdFromLocale("ko_KR.UTF-8")));
    EXPECT_FALSE(IsKorean(LanguageIdFromLocale("ja_JP")));
}

TEST(LanguageTest, UnknownNamesAreEnglish) {
    for (const char* name : {"", "C", "POSIX", "C.UTF-8", "xx_YY", "kor", "k", "_KR"})
        EXPECT_EQ(LanguageIdFromLocale(name), kLanguageEnglish) << name;
}

TEST(LanguageTest, EnvironmentTakesTheFirstSetVariable) {
    EXPECT_EQ(LanguageIdFromEnvironment("ko_KR.UTF-8", "de_DE", "fr_FR"), 0x12);
    EXPECT_EQ(LanguageIdFromEnvironment(nullptr, "de_DE", "ko_KR"), 0x07);
    EXPECT_EQ(LanguageIdFromEnvironment("", "", "ko_KR"), 0x12);
    EXPECT_EQ(LanguageIdFromEnvironment("C", nullptr, "ko_KR"), kLanguageEnglish);
    EXPECT_EQ(LanguageIdFromEnvironment(nullptr, nullptr, nullptr), kLanguageEnglish);
}
