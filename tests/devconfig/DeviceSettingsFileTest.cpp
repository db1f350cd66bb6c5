// blackbox.cfg on real files: made from the camera's text when the camera has taken the last
// save, kept while it has not, saved in one replacement that keeps every other byte, and a
// failed save that leaves the old file and says why.
#include "devconfig/DeviceSettingsFile.h"
#include "devconfig/CProfileText.h"
#include "tests/support/TatTestCards.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace {

const CivilTime kNow{2024, 3, 5, 12, 0, 0};

const std::string kCameraLf = "[blackbox]\ntat_update=0\nmic_volume=3\nlocal_time=9\n"
                              "model=MV-700\n[time]\nset=0\nyear=2020\n";
const std::string kCameraFile = "[blackbox]\r\ntat_update=0\r\nmic_volume=3\r\nlocal_time=9\r\n"
                                "model=MV-700\r\n[time]\r\nset=0\r\nyear=2020\r\n";

// A card folder with SETTING/ whose camera text is given (nothing: unreadable storage).
struct Card {
    TempDir dir;
    std::optional<std::string> camera = kCameraLf;
    int cameraReads = 0;
    DeviceSettingsFile file{dir.Path().string(), [this] {
                                ++cameraReads;
                                return camera;
                            }};
    Card() { fs::create_directory(dir.Path() / "SETTING"); }
    std::string Text() const { return ReadFileText(file.Path()); }
};

size_t FileCount(const fs::path& folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++count;
    return count;
}

} // namespace

TEST(DeviceSettingsFileTest, CameraTextBecomesCrLfLines) {
    EXPECT_EQ(DeviceSettingsFile::FileTextOf(kCameraLf), kCameraFile);
    // Exactly one CR before each LF, whatever the camera's line ends; nothing added at the end.
    EXPECT_EQ(DeviceSettingsFile::FileTextOf(kCameraFile), kCameraFile);
    EXPECT_EQ(DeviceSettingsFile::FileTextOf("a=1\r\r\nb=2\rc=3"), "a=1\r\nb=2c=3");
    EXPECT_EQ(DeviceSettingsFile::FileTextOf("a=1\n\n"), "a=1\r\n\r\n");
    // The text ends at its first NUL, as a C string does.
    EXPECT_EQ(DeviceSettingsFile::FileTextOf(std::string("a=1\n\0b=2\n", 9)), "a=1\r\n");
    EXPECT_EQ(DeviceSettingsFile::FileTextOf(""), "");
}

TEST(DeviceSettingsFileTest, MissingFileIsMadeFromTheCamera) {
    EXPECT_EQ(DeviceSettingsFile::PathOf("/media/me/CARD/"), "/media/me/CARD/SETTING/blackbox.cfg");
    Card card;
    ASSERT_TRUE(card.file.Prepare().Ok());
    EXPECT_EQ(card.Text(), kCameraFile);
    EXPECT_EQ(card.cameraReads, 1);
    EXPECT_EQ(card.file.Load(kNow)->localTime, 9);
}

TEST(DeviceSettingsFileTest, SavedFileIsKeptUntilTheCameraTakesIt) {
    Card card;
    WriteFileText(card.file.Path(), "[blackbox]\r\ntat_update=1\r\nmic_volume=5\r\n");
    card.camera = "[blackbox]\nmic_volume=2\n"; // the camera's own differs
    ASSERT_TRUE(card.file.Prepare().Ok());
    EXPECT_EQ(card.Text(), "[blackbox]\r\ntat_update=1\r\nmic_volume=5\r\n");
    EXPECT_EQ(card.cameraReads, 0);
    EXPECT_EQ(card.file.CurrentText(), card.Text());

    // Once the camera has set tat_update to 0, its text comes in again.
    WriteFileText(card.file.Path(), "[blackbox]\r\ntat_update=0\r\nmic_volume=5\r\n");
    EXPECT_EQ(card.file.CurrentText(), "[blackbox]\r\nmic_volume=2\r\n");
    EXPECT_EQ(card.Text(), "[blackbox]\r\ntat_update=0\r\nmic_volume=5\r\n") << "no write";
    ASSERT_TRUE(card.file.Prepare().Ok());
    EXPECT_EQ(card.Text(), "[blackbox]\r\nmic_volume=2\r\n");
}

TEST(DeviceSettingsFileTest, UnreadableCameraFailsAndWritesNothing) {
    Card card;
    card.camera.reset();
    const SettingsFileResult result = card.file.Prepare();
    EXPECT_EQ(result.failure, SettingsFileResult::Failure::NoCamera);
    EXPECT_FALSE(fs::exists(card.file.Path()));
    EXPECT_EQ(card.file.CurrentText(), std::nullopt);

    // An old file the camera has taken is left as it is, not deleted.
    WriteFileText(card.file.Path(), kCameraFile);
    EXPECT_FALSE(card.file.Prepare().Ok());
    EXPECT_EQ(card.Text(), kCameraFile);

    // No root, no camera, and no file looked for in the current folder.
    EXPECT_EQ(
        DeviceSettingsFile("", [] { return std::optional<std::string>("x"); }).Prepare().failure,
        SettingsFileResult::Failure::NoCamera);
}

TEST(DeviceSettingsFileTest, MissingSettingFolderIsMadeButAFileInItsWayFails) {
    Card card;
    fs::remove(card.dir.Path() / "SETTING");
    ASSERT_TRUE(card.file.Prepare().Ok());
    EXPECT_EQ(card.Text(), kCameraFile);

    Card blocked;
    fs::remove(blocked.dir.Path() / "SETTING");
    WriteFileText((blocked.dir.Path() / "SETTING").string(), "not a folder");
    const SettingsFileResult result = blocked.file.Prepare();
    EXPECT_EQ(result.failure, SettingsFileResult::Failure::Unwritable);
    EXPECT_NE(result.Reason().find("cannot write"), std::string::npos);
}

TEST(DeviceSettingsFileTest, SaveReplacesTheFileOnceKeepingOtherBytes) {
    Card card;
    const std::string camera =
        "; \xC7\xD1\xB1\xDB\r\n[blackbox]\r\ntat_update=0\r\nmic_volume=3\r\n"
        "unknown=7\r\nmodel=mt-700\r\n";
    WriteFileText(card.file.Path(), camera);
    std::optional<DeviceSettings> settings = card.file.Load(kNow);
    ASSERT_TRUE(settings);
    EXPECT_EQ(card.Text(), camera) << "loading writes nothing";
    settings->micVolume = 2;
    ASSERT_TRUE(card.file.Save(*settings).Ok());
    const std::string saved = card.Text();
    EXPECT_TRUE(
        saved.starts_with("; \xC7\xD1\xB1\xDB\r\n[blackbox]\r\ntat_update=1\r\nmic_volume=2\r\n"
                          "unknown=7\r\nmodel=mt-700\r\n"))
        << saved;
    // Every line ends in CR LF, the added ones too.
    for (size_t at = saved.find('\n'); at != std::string::npos; at = saved.find('\n', at + 1))
        EXPECT_EQ(saved[at - 1], '\r') << at;
    EXPECT_EQ(saved.back(), '\n');
    EXPECT_EQ(FileCount(card.dir.Path() / "SETTING"), 1u) << "no temporary file is left";
}

TEST(DeviceSettingsFileTest, FailedSaveLeavesTheOldFileAndSaysWhy) {
    Card card;
    WriteFileText(card.file.Path(), kCameraFile);
    std::optional<DeviceSettings> settings = card.file.Load(kNow);
    ASSERT_TRUE(settings);
    settings->micVolume = 5;
    SettingsFileResult result;
    WithFileSizeLimit(16, [&] { result = card.file.Save(*settings); });
    EXPECT_EQ(result.failure, SettingsFileResult::Failure::Unwritable);
    EXPECT_EQ(result.error, EFBIG);
    EXPECT_EQ(card.Text(), kCameraFile);
    EXPECT_EQ(FileCount(card.dir.Path() / "SETTING"), 1u);
}

// Through the card library: the configuration text of a card's storage.
TEST(DeviceSettingsFileTest, CameraTextOfARealCard) {
    TempDir dir;
    const std::string root = (dir.Path() / "card").string();
    MakeTestCard(root, {});
    EXPECT_EQ(DeviceSettingsFile::ReadCameraText(root), TestConfigText());
    EXPECT_EQ(DeviceSettingsFile::ReadCameraText(dir.Path().string()), std::nullopt);
    EXPECT_EQ(DeviceSettingsFile::ReadCameraText(""), std::nullopt);

    const DeviceSettingsFile file(root);
    ASSERT_TRUE(file.Prepare().Ok());
    EXPECT_EQ(ReadFileText(file.Path()), DeviceSettingsFile::FileTextOf(TestConfigText()));
    EXPECT_FALSE(DeviceSettingsFile(dir.Path().string()).Prepare().Ok());
}
