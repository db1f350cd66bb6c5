#include "FakePictureArea.h"
#include "player/decoder/CJpegWriter.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {
// Left half red, right half blue, odd sizes to exercise the chroma edges.
Picture TwoColours() {
    Picture picture;
    picture.Allocate(33, 17);
    for (int32_t y = 0; y < 17; ++y)
        for (int32_t x = 0; x < 33; ++x)
            picture.Row(y)[x * 3 + (x < 16 ? 2 : 0)] = 230;
    return picture;
}

size_t FilesIn(const TempDir& dir) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.Path()),
                                             std::filesystem::directory_iterator()));
}
} // namespace

TEST(JpegWriter, KeepsSizeAndColours) {
    TempDir dir;
    ASSERT_TRUE(CJpegWriter::Save(TwoColours(), dir.File("a.jpg")));
    const Picture back = ReadImage(dir.File("a.jpg"), 33, 17);
    ASSERT_FALSE(back.Empty());
    const uint8_t* red = back.Row(8) + 4 * 3;
    const uint8_t* blue = back.Row(8) + 28 * 3;
    EXPECT_NEAR(red[2], 230, 8);
    EXPECT_NEAR(red[0], 0, 8);
    EXPECT_NEAR(blue[0], 230, 8);
    EXPECT_NEAR(blue[2], 0, 8);
}

TEST(JpegWriter, ReplacesWholeFilesAndLeavesNothingOnFailure) {
    TempDir dir;
    const std::string path = dir.File("a.jpg");
    WriteFileBytes(path, std::vector<uint8_t>(100000, 7));
    ASSERT_TRUE(CJpegWriter::Save(TwoColours(), path));
    EXPECT_EQ(ReadFileBytes(path).at(0), 0xFF);
    EXPECT_LT(ReadFileBytes(path).size(), 100000u);
    EXPECT_EQ(FilesIn(dir), 1u);

    EXPECT_FALSE(CJpegWriter::Save(Picture{}, dir.File("empty.jpg")));
    EXPECT_FALSE(CJpegWriter::Save(TwoColours(), dir.File("no/such/folder.jpg")));
    std::filesystem::create_directory(dir.File("folder"));
    EXPECT_FALSE(CJpegWriter::Save(TwoColours(), dir.File("folder")));
    EXPECT_FALSE(CJpegWriter::Save(TwoColours(), ""));
    EXPECT_EQ(FilesIn(dir), 2u); // a.jpg and folder
}
