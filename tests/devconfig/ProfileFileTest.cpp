#include "devconfig/CProfileFile.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

size_t FileCount(const std::filesystem::path& folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

// A camera's file: CRLF lines, a comment, keys the viewer never writes, Korean in EUC-KR.
const std::string kCameraFile = "[blackbox]\r\n"
                                "tat_update=0\r\n"
                                "; \xC7\xD1\xB1\xDB comment\r\n"
                                "mic_volume=3\r\n"
                                "model=MV-700\r\n"
                                "name=\xC7\xD1\xB1\xDB\r\n"
                                "\r\n"
                                "[time]\r\n"
                                "set=0\r\n";

} // namespace

TEST(ProfileFileTest, ReadsWithDefaultsAndCutsToTheBuffer) {
    TempDir dir;
    const CProfileFile file(dir.File("blackbox.cfg"));
    WriteFileText(file.Path(), kCameraFile + "version=ABCDEFGHIJKL\r\n");
    EXPECT_EQ(file.GetString("BLACKBOX", "Mic_Volume", "0", 10), "3");
    EXPECT_EQ(file.GetString("blackbox", "missing", "dflt", 10), "dflt");
    EXPECT_EQ(file.GetString("nosection", "mic_volume", "0", 10), "0");
    EXPECT_EQ(file.GetString("time", "version", "0", 10), "ABCDEFGHI");
    EXPECT_EQ(file.GetString("time", "version", "0", 1), "");
    EXPECT_EQ(file.GetString("time", "version", "0", 0), "");
    EXPECT_EQ(file.GetString("time", "none", "a long default", 5), "a lo");
    EXPECT_EQ(file.GetString("blackbox", "name", "", 10), "\xC7\xD1\xB1\xDB");
    EXPECT_EQ(file.GetInt("blackbox", "mic_volume", -1), 3);
    EXPECT_EQ(file.GetInt("blackbox", "model", -1), 0);
    EXPECT_EQ(file.GetInt("blackbox", "missing", -1), -1);
}

TEST(ProfileFileTest, MissingOrUnfitFilesGiveTheDefault) {
    TempDir dir;
    EXPECT_EQ(CProfileFile(dir.File("none.cfg")).GetString("s", "k", "-200", 10), "-200");
    EXPECT_EQ(CProfileFile(dir.File("none.cfg")).GetInt("s", "k", 7), 7);
    // A folder and a FIFO at the path: no read, no hang.
    EXPECT_EQ(CProfileFile(dir.Path().string()).GetString("s", "k", "d", 10), "d");
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(CProfileFile(fifo).GetString("s", "k", "d", 10), "d");
    EXPECT_FALSE(CProfileFile(fifo).WriteString("s", "k", "v"));
    // Too large to be a profile file: read as absent, never rewritten.
    const std::string big = dir.File("big.cfg");
    WriteFileText(big, "[s]\nk=1\n" + std::string(CProfileFile::kMaxFileSize, ';'));
    EXPECT_EQ(CProfileFile(big).GetString("s", "k", "d", 10), "d");
    EXPECT_FALSE(CProfileFile(big).WriteString("s", "k", "2"));
}

TEST(ProfileFileTest, WriteKeepsEveryOtherByte) {
    TempDir dir;
    const CProfileFile file(dir.File("blackbox.cfg"));
    WriteFileText(file.Path(), kCameraFile);
    ASSERT_TRUE(file.WriteString("blackbox", "tat_update", "1"));
    ASSERT_TRUE(file.WriteString("BlackBox", "Mic_Volume", "5"));
    ASSERT_TRUE(file.WriteString("time", "year", "2024"));
    ASSERT_TRUE(file.WriteString("extra", "a", "b"));
    EXPECT_EQ(ReadFileText(file.Path()), "[blackbox]\r\n"
                                         "tat_update=1\r\n"
                                         "; \xC7\xD1\xB1\xDB comment\r\n"
                                         "mic_volume=5\r\n"
                                         "model=MV-700\r\n"
                                         "name=\xC7\xD1\xB1\xDB\r\n"
                                         "\r\n"
                                         "[time]\r\n"
                                         "set=0\r\n"
                                         "year=2024\r\n"
                                         "[extra]\r\n"
                                         "a=b\r\n");
    EXPECT_EQ(FileCount(dir.Path()), 1u) << "no temporary file is left behind";
}

TEST(ProfileFileTest, WriteKeepsLineFeedFiles) {
    TempDir dir;
    const CProfileFile file(dir.File("config.cfg"));
    WriteFileText(file.Path(), "[config]\nvolume=10\n");
    ASSERT_TRUE(file.WriteString("config", "brightness", "-3"));
    EXPECT_EQ(ReadFileText(file.Path()), "[config]\nvolume=10\nbrightness=-3\n");
}

TEST(ProfileFileTest, WriteCreatesAMissingFileButNotAMissingFolder) {
    TempDir dir;
    const CProfileFile file(dir.File("config.cfg"));
    ASSERT_TRUE(file.WriteString("config", "volume", "50"));
    EXPECT_EQ(ReadFileText(file.Path()), "[config]\r\nvolume=50\r\n");
    EXPECT_FALSE(CProfileFile(dir.File("no/such/folder.cfg")).WriteString("a", "b", "c"));
    EXPECT_FALSE(file.WriteString("config", "bad\nkey", "1"));
    EXPECT_EQ(ReadFileText(file.Path()), "[config]\r\nvolume=50\r\n");
}

TEST(ProfileFileTest, WriteKeepsPermissionsAndWritesThroughLinks) {
    TempDir dir;
    const std::string target = dir.File("real.cfg");
    const std::string link = dir.File("link.cfg");
    WriteFileText(target, "[s]\nk=1\n");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    std::filesystem::create_symlink(target, link);
    ASSERT_TRUE(CProfileFile(link).WriteString("s", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileText(target), "[s]\nk=2\n");
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(ProfileFileTest, FailedWriteLeavesTheOldFileWhole) {
    TempDir dir;
    const CProfileFile file(dir.File("blackbox.cfg"));
    WriteFileText(file.Path(), kCameraFile);
    // The new text cannot be written past a file size limit; root is bound by it too.
    const std::string longValue(4096, 'x');
    bool written = true;
    WithFileSizeLimit(1024, [&] { written = file.WriteString("blackbox", "model", longValue); });
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadFileText(file.Path()), kCameraFile);
    EXPECT_EQ(FileCount(dir.Path()), 1u);
}

TEST(ProfileFileTest, ReadOnlyFolderFailsTheWrite) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    TempDir dir;
    const CProfileFile file(dir.File("blackbox.cfg"));
    WriteFileText(file.Path(), kCameraFile);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0500), 0);
    EXPECT_FALSE(file.WriteString("blackbox", "tat_update", "1"));
    chmod(dir.Path().c_str(), 0700);
    EXPECT_EQ(ReadFileText(file.Path()), kCameraFile);
}

TEST(ProfileFileTest, CreateIfMissingNeverTouchesAnExistingFile) {
    TempDir dir;
    const CProfileFile file(dir.File("config.cfg"));
    ASSERT_TRUE(file.CreateIfMissing());
    EXPECT_TRUE(std::filesystem::is_regular_file(file.Path()));
    EXPECT_EQ(std::filesystem::file_size(file.Path()), 0u);
    WriteFileText(file.Path(), "[config]\nvolume=7\n");
    ASSERT_EQ(chmod(file.Path().c_str(), 0200), 0); // unreadable for others than root
    EXPECT_TRUE(file.CreateIfMissing());
    chmod(file.Path().c_str(), 0600);
    EXPECT_EQ(ReadFileText(file.Path()), "[config]\nvolume=7\n");
    EXPECT_FALSE(CProfileFile(dir.File("no/such/config.cfg")).CreateIfMissing());
}
