// tatcard config as a user runs it: the demo card's settings printed without a write, changes
// written as the settings dialog's Save writes them, and mistakes refused before anything is
// written.
#include "TatcardProgram.h"
#include "storage/CTATCardWriter.h"
#include "tests/support/TempDir.h"
#include "tools/tatcard/DemoCard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

// A card holding the demo configuration text and no recordings.
class ConfigCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(CTATCardWriter::CreateCard(m_card, DemoConfigText(), &error)) << error;
    }
    TatcardRun Config(const std::string& arguments) {
        return RunTatcard("config " + Quoted(m_card) + arguments, m_scratch);
    }
    std::string File() const { return ReadFileText(m_file); }

    TempDir m_scratch;
    TempDir m_dir;
    std::string m_card = (m_dir.Path() / "card").string();
    std::string m_file = m_card + "/SETTING/blackbox.cfg";
};

// text with the value of the first "key=" line replaced.
std::string WithValue(std::string text, const std::string& key, const std::string& value) {
    const size_t line = text.find("\n" + key + "=");
    if (line == std::string::npos)
        return text + "<no " + key + ">";
    const size_t begin = line + 1 + key.size() + 1;
    return text.replace(begin, text.find('\r', begin) - begin, value);
}

} // namespace

TEST_F(ConfigCommandTest, PrintsEveryKeyWithoutWriting) {
    const TatcardRun r = Config("");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "mic_in=1\nmic_volume=3\nvoice_out=1\nvoice_volume=3\nacc_level=3\n"
                     "motion_level=3\npower_off_vlt=12000\nfront_led=1\nlocal_time=9\n"
                     "version=1.02.17\nmodel=MV-700\ntat_update=0\n");
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(std::filesystem::exists(m_file));
}

TEST_F(ConfigCommandTest, SetWritesAsSaveDoesKeepingEveryOtherByte) {
    const TatcardRun r = Config(" --set mic_volume=5 local_time=-3 power_off_vlt=0 front_led=0");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nmic_volume=5\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\ntat_update=1\n"), std::string::npos) << r.out;
    std::string expected = DemoConfigText(); // CR LF lines, every key present
    expected = WithValue(expected, "tat_update", "1");
    expected = WithValue(expected, "mic_volume", "5");
    expected = WithValue(expected, "power_off_vlt", "0");
    expected = WithValue(expected, "front_led", "0");
    expected = WithValue(expected, "local_time", "-3");
    EXPECT_EQ(File(), expected);

    // The saved file is kept: a second change builds on the first.
    ASSERT_EQ(Config(" --set acc_level=1").status, 0);
    EXPECT_EQ(File(), WithValue(expected, "acc_level", "1"));
}

TEST_F(ConfigCommandTest, SetSendsTheClock) {
    ASSERT_EQ(Config(" --set set=1 year=2025 month=2 day=3 hour=0 min=5 sec=6").status, 0);
    EXPECT_TRUE(File().ends_with("[time]\r\nset=1\r\nyear=2025\r\nmonth=2\r\nday=3\r\nhour=0\r\n"
                                 "min=5\r\nsec=6\r\n"))
        << File();
}

// Mistakes are refused before anything is written: exit 2 for the command line, 1 for the card.
TEST_F(ConfigCommandTest, MistakesChangeNothing) {
    const std::pair<std::string, std::string> wrong[] = {
        {" --set mic_in=1 volume=2", "unknown key volume"},
        {" --set mic_volume=6", "mic_volume=6: the value must be 1 to 5"},
        {" --set", "--set needs KEY=VALUE"},
    };
    for (const auto& [arguments, why] : wrong) {
        const TatcardRun r = Config(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_EQ(r.err, "tatcard: " + why + " (tatcard --help shows the usage)\n") << arguments;
    }
    EXPECT_FALSE(std::filesystem::exists(m_file));

    TempDir empty;
    const TatcardRun r =
        RunTatcard("config " + Quoted(empty.Path().string()) + " --set mic_in=0", m_scratch);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "tatcard: no camera information on the card in " + empty.Path().string() + "\n");
    EXPECT_FALSE(std::filesystem::exists(empty.Path() / "SETTING"));

    // A folder in the file's place: no new file can be renamed over it.
    std::filesystem::create_directories(m_file);
    const TatcardRun blocked = Config(" --set mic_in=1");
    EXPECT_EQ(blocked.status, 1);
    EXPECT_TRUE(blocked.err.starts_with("tatcard: " + m_file + ": cannot write")) << blocked.err;
}
