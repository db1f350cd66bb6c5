// The command-line pieces every tatcard command uses: a folder with options, and the category
// words of --category.
#include "tools/tatcard/CommandLine.h"
#include "tools/tatcard/CardCommands.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

struct Read {
    std::string complaint;
    std::string folder;
    std::map<std::string, std::string> values; // "(none)" for an option at the end of the line
};

// Reads the line with --a and --b as options; an option's value "bad" is complained about.
Read ReadLine(const std::vector<std::string>& args) {
    Read read;
    read.complaint = ReadFolderAndOptions(
        args, {"--a", "--b"},
        [&](const std::string& option, const std::string* value) -> std::string {
            read.values[option] = value != nullptr ? *value : "(none)";
            return value != nullptr && *value == "bad" ? option + " is bad" : "";
        },
        read.folder);
    return read;
}

TEST(CommandLineTest, TakesOneFolderAndEachOptionWithTheWordAfterIt) {
    const Read both = ReadLine({"cmd", "--a", "1", "DIR", "--b", "--c"});
    EXPECT_EQ(both.complaint, "");
    EXPECT_EQ(both.folder, "DIR");
    EXPECT_EQ(both.values.at("--a"), "1");
    EXPECT_EQ(both.values.at("--b"), "--c") << "an option's value is the next word, whatever it is";

    const Read last = ReadLine({"cmd", "DIR", "--a"});
    EXPECT_EQ(last.values.at("--a"), "(none)");

    EXPECT_EQ(ReadLine({"cmd"}).folder, "");
    EXPECT_EQ(ReadLine({"cmd"}).complaint, "");
}

TEST(CommandLineTest, ComplainsAboutTheFirstWordItCannotUse) {
    EXPECT_EQ(ReadLine({"cmd", "DIR", "OTHER"}).complaint, "unexpected argument OTHER");
    EXPECT_EQ(ReadLine({"cmd", "--c", "DIR"}).complaint, "unexpected argument --c");
    const Read bad = ReadLine({"cmd", "--a", "bad", "DIR", "EXTRA"});
    EXPECT_EQ(bad.complaint, "--a is bad");
    EXPECT_EQ(bad.folder, "") << "reading stops at the complaint";
}

TEST(CommandLineTest, CategoryWordsAreTheStorageWordsInSmallLetters) {
    EXPECT_EQ(CategoryFromWord("event"), 0);
    EXPECT_EQ(CategoryFromWord("rec"), 1);
    EXPECT_EQ(CategoryFromWord("parking"), 2);
    EXPECT_EQ(CategoryFromWord("manual"), 3);
    EXPECT_EQ(CategoryFromWord("all"), kAllCategories);
    EXPECT_EQ(CategoryFromWord("EVENT"), -1);
    EXPECT_EQ(CategoryFromWord("Rec"), -1);
    EXPECT_EQ(CategoryFromWord("lorries"), -1);
    EXPECT_EQ(CategoryFromWord(""), -1);
}

} // namespace
