#include "devconfig/CProfileText.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

namespace {

std::string Value(const CProfileText& text, std::string_view section, std::string_view key) {
    const auto value = text.Find(section, key);
    return value ? std::string(*value) : std::string("<none>");
}

std::string AfterSet(std::string bytes, std::string_view section, std::string_view key,
                     std::string_view value) {
    CProfileText text(std::move(bytes));
    EXPECT_TRUE(text.Set(section, key, value));
    return text.Bytes();
}

} // namespace

TEST(ProfileTextTest, FindsKeysIgnoringCaseAndBlanks) {
    const CProfileText text("; camera settings\r\n"
                            "[BlackBox]\r\n"
                            "  Mic_Volume =  3  \r\n"
                            "voice_out=\r\n"
                            "\tmodel\t=\tMV-700\t\r\n"
                            "[ time ]\r\n"
                            "set=1\r\n");
    EXPECT_EQ(Value(text, "blackbox", "mic_volume"), "3");
    EXPECT_EQ(Value(text, "BLACKBOX", "MIC_VOLUME"), "3");
    EXPECT_EQ(Value(text, "blackbox", "voice_out"), "");
    EXPECT_EQ(Value(text, "blackbox", "model"), "MV-700");
    EXPECT_EQ(Value(text, "time", "set"), "1");
    EXPECT_EQ(Value(text, "time", "mic_volume"), "<none>");
    EXPECT_EQ(Value(text, "blackbox", "set"), "<none>");
    EXPECT_EQ(Value(text, "missing", "set"), "<none>");
}

TEST(ProfileTextTest, IgnoresCommentsBrokenLinesAndKeysOutsideSections) {
    const CProfileText text("orphan=1\n"
                            "[a]\n"
                            ";key=commented\n"
                            "no equals sign\n"
                            "[unclosed\n"
                            "key = x = y\n");
    EXPECT_EQ(Value(text, "a", "orphan"), "<none>");
    EXPECT_EQ(Value(text, "a", ";key"), "<none>");
    // A broken header does not start a section; the value runs to the line's end.
    EXPECT_EQ(Value(text, "a", "key"), "x = y");
}

TEST(ProfileTextTest, QuotesAroundAValueAreDropped) {
    const CProfileText text("[s]\nd=\"a b \"\ns='x'\nm=\"a'\nq=\"\n");
    EXPECT_EQ(Value(text, "s", "d"), "a b ");
    EXPECT_EQ(Value(text, "s", "s"), "x");
    EXPECT_EQ(Value(text, "s", "m"), "\"a'");
    EXPECT_EQ(Value(text, "s", "q"), "\"");
}

TEST(ProfileTextTest, FirstKeyWinsAcrossRepeatedSections) {
    const CProfileText text("[s]\nk=1\nk=2\n[t]\nk=3\n[S]\nk=4\nonly=5\n");
    EXPECT_EQ(Value(text, "s", "k"), "1");
    EXPECT_EQ(Value(text, "s", "only"), "5");
}

TEST(ProfileTextTest, NonAsciiBytesAreKeptAndCompared) {
    // EUC-KR for a Korean word, then the same in UTF-8, in names and values.
    const std::string euckr = "\xC7\xD1\xB1\xDB";
    const std::string utf8 = "\xED\x95\x9C\xEA\xB8\x80";
    const CProfileText text("[" + utf8 + "]\n" + euckr + "=" + utf8 + "\nk=" + euckr + "\n");
    EXPECT_EQ(Value(text, utf8, euckr), utf8);
    EXPECT_EQ(Value(text, utf8, "K"), euckr);
}

TEST(ProfileTextTest, ByteOrderMarkIsSkipped) {
    const CProfileText text("\xEF\xBB\xBF[s]\r\nk=1\r\n");
    EXPECT_EQ(Value(text, "s", "k"), "1");
}

TEST(ProfileTextTest, SetReplacesOnlyTheValue) {
    const std::string before = "; top\r\n[blackbox]\r\n  Mic_Volume = 3  ; note\r\nx=1\r\n";
    // The comment after the value is part of the value, as readers of this format see it.
    EXPECT_EQ(AfterSet(before, "BLACKBOX", "mic_volume", "5"),
              "; top\r\n[blackbox]\r\n  Mic_Volume = 5\r\nx=1\r\n");
    EXPECT_EQ(AfterSet("[s]\r\nk = \"old\"  \r\nz=9", "s", "k", "new value"),
              "[s]\r\nk = new value  \r\nz=9");
    EXPECT_EQ(AfterSet("[s]\nk=\nz=9\n", "s", "k", "12"), "[s]\nk=12\nz=9\n");
    EXPECT_EQ(AfterSet("[s]\nk=1", "s", "k", ""), "[s]\nk=");
}

TEST(ProfileTextTest, SetAddsAMissingKeyAfterTheLastKeyOfItsSection) {
    EXPECT_EQ(AfterSet("[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", "a", "new", "v"),
              "[a]\r\nx=1\r\nnew=v\r\n\r\n[b]\r\ny=2\r\n");
    EXPECT_EQ(AfterSet("[a]\n; about b\n[b]\n", "a", "k", "1"), "[a]\nk=1\n; about b\n[b]\n");
    // The last line of the text had no line ending.
    EXPECT_EQ(AfterSet("[a]\r\nx=1", "a", "k", "2"), "[a]\r\nx=1\r\nk=2\r\n");
    EXPECT_EQ(AfterSet("[a]", "a", "k", "2"), "[a]\r\nk=2\r\n");
    // Into the first of two sections of the same name.
    EXPECT_EQ(AfterSet("[a]\nx=1\n[b]\n[A]\ny=2\n", "a", "k", "3"),
              "[a]\nx=1\nk=3\n[b]\n[A]\ny=2\n");
}

TEST(ProfileTextTest, SetAddsAMissingSectionAtTheEnd) {
    EXPECT_EQ(AfterSet("", "config", "volume", "50"), "[config]\r\nvolume=50\r\n");
    EXPECT_EQ(AfterSet("[a]\nx=1\n", "b", "k", "2"), "[a]\nx=1\n[b]\nk=2\n");
    EXPECT_EQ(AfterSet("[a]\r\nx=1", "b", "k", "2"), "[a]\r\nx=1\r\n[b]\r\nk=2\r\n");
}

TEST(ProfileTextTest, SetRejectsWhatCouldNotBeReadBack) {
    CProfileText text("[s]\nk=1\n");
    for (const std::string_view section : {"", " s", "s ", "a]b", "a\nb"})
        EXPECT_FALSE(text.Set(section, "k", "v")) << section;
    for (const std::string_view key : {"", " k", "k=", "[k", ";k", "a\rb"})
        EXPECT_FALSE(text.Set("s", key, "v")) << key;
    EXPECT_FALSE(text.Set("s", "k", "two\nlines"));
    EXPECT_FALSE(text.Set("s", "k", "cr\r"));
    EXPECT_EQ(text.Bytes(), "[s]\nk=1\n");
}

TEST(ProfileTextTest, SetValuesReadBackAndRepeatingASetChangesNothing) {
    CProfileText text("\xEF\xBB\xBF; x\n[time]\nset=0\n\n[blackbox]\ntat_update=0\n");
    ASSERT_TRUE(text.Set("blackbox", "tat_update", "1"));
    ASSERT_TRUE(text.Set("Time", "Year", "2024"));
    ASSERT_TRUE(text.Set("new", "a", "x=y"));
    const std::string once = text.Bytes();
    ASSERT_TRUE(text.Set("blackbox", "tat_update", "1"));
    ASSERT_TRUE(text.Set("Time", "Year", "2024"));
    ASSERT_TRUE(text.Set("new", "a", "x=y"));
    EXPECT_EQ(text.Bytes(), once);
    EXPECT_EQ(Value(text, "blackbox", "tat_update"), "1");
    EXPECT_EQ(Value(text, "time", "year"), "2024");
    EXPECT_EQ(Value(text, "time", "set"), "0");
    EXPECT_EQ(Value(text, "new", "a"), "x=y");
}

TEST(ProfileTextTest, ValuesChangedInPlaceReadAsTheSameBytesReadAfresh) {
    CProfileText text("[a]\nk=1\nq=\"x\"\nz = 3 \n[b]\nk=22\n[A]\nk=9\nlast=end");
    ASSERT_EQ(Value(text, "a", "k"), "1"); // reads the whole text once
    ASSERT_TRUE(text.Set("a", "k", "longer value"));
    ASSERT_TRUE(text.Set("a", "q", " padded "));
    ASSERT_TRUE(text.Set("b", "k", ""));
    ASSERT_TRUE(text.Set("a", "z", "'quoted'"));
    ASSERT_TRUE(text.Set("a", "last", "x"));
    ASSERT_TRUE(text.Set("b", "new", "n"));
    ASSERT_TRUE(text.Set("a", "k", "1"));
    const CProfileText fresh(text.Bytes());
    for (const auto& [section, key] : std::vector<std::pair<std::string, std::string>>{
             {"a", "k"}, {"a", "q"}, {"a", "z"}, {"b", "k"}, {"b", "new"}, {"A", "last"}})
        EXPECT_EQ(Value(text, section, key), Value(fresh, section, key)) << section << key;
    EXPECT_EQ(Value(text, "a", "q"), "padded");
    EXPECT_EQ(Value(text, "a", "z"), "quoted");
    EXPECT_EQ(text.Bytes(), "[a]\nk=1\nq= padded \nz = 'quoted' \n[b]\nk=\nnew=n\n[A]\nk=9\n"
                            "last=x");
}

TEST(ProfileTextTest, KeysAddedOneAfterAnotherGoWhereAFreshReadPutsThem) {
    // Repeated sections, a section without keys, a comment after a section's last key, a last
    // line without a line break, then a new section: each addition to the kept text must give
    // the bytes that the same addition to the text read afresh gives.
    const std::vector<std::array<std::string, 3>> sets = {
        {"a", "new1", "1"}, {"b", "first", "2"}, {"A", "new2", "three"}, {"c", "k", "4"},
        {"z", "made", "5"}, {"b", "second", ""}, {"Z", "again", "6"},    {"a", "k", "longer"},
        {"c", "more", "7"}, {"a", "new3", "8"},
    };
    CProfileText kept("[a]\nk=1\n; note\n\n[b]\n[a]\nk2=2\n[c]\nk=3");
    ASSERT_EQ(Value(kept, "a", "k"), "1"); // reads the whole text once
    for (const auto& [section, key, value] : sets) {
        CProfileText fresh(kept.Bytes());
        ASSERT_TRUE(kept.Set(section, key, value));
        ASSERT_TRUE(fresh.Set(section, key, value));
        ASSERT_EQ(kept.Bytes(), fresh.Bytes()) << section << "/" << key;
    }
    EXPECT_EQ(kept.Bytes(), "[a]\nk=longer\nnew1=1\nnew2=three\nnew3=8\n; note\n\n[b]\nfirst=2\n"
                            "second=\n[a]\nk2=2\n[c]\nk=4\nmore=7\n[z]\nmade=5\nagain=6\n");
    const CProfileText fresh(kept.Bytes());
    for (const auto& [section, key, value] : sets)
        EXPECT_EQ(Value(kept, section, key), Value(fresh, section, key)) << section << key;
}
