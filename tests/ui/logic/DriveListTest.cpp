#include "ui/logic/DriveList.h"

#include "tests/support/TatTestCards.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

TEST(DriveListTest, EntriesAreSortedRootsWithTheirSuffix) {
    EXPECT_EQ(
        DriveList::Entries({"/media/me/SDCARD", "/media/me/Cam", "/media/me/b", "/media/me/Cam"}),
        (std::vector<std::string>{"/media/me/b SD CARD", "/media/me/Cam SD CARD",
                                  "/media/me/SDCARD SD CARD"}));
    EXPECT_TRUE(DriveList::Entries({}).empty());
}

TEST(DriveListTest, RootOfAChosenOrTypedText) {
    // Mount roots are longer than three characters: the whole text before the suffix.
    EXPECT_EQ(DriveList::RootOf("/media/me/CAM 01 SD CARD"), "/media/me/CAM 01");
    EXPECT_EQ(DriveList::RootOf("/run/media/me/SD CARD SD CARD"), "/run/media/me/SD CARD");
    EXPECT_EQ(DriveList::RootOf("/home/me/card"), "/home/me/card");
    EXPECT_EQ(DriveList::RootOf(" SD CARD"), "");
    EXPECT_EQ(DriveList::RootOf(""), "");
}

// Removable volumes that hold the storage, and the --card folder whatever it holds; fixed
// disks and removable volumes without the storage are not listed.
TEST(DriveListTest, CardRootsFromTheMountsAndTheCommandLine) {
    TempDir dir;
    const std::string card = (dir.Path() / "card").string();
    const std::string empty = (dir.Path() / "empty").string();
    const std::string fixed = (dir.Path() / "fixed").string();
    MakeTestCard(card, {});
    MakeTestCard(fixed, {});
    std::filesystem::create_directories(empty);
    for (const char* device : {"sdb", "sdc", "sda"})
        std::filesystem::create_directories(dir.Path() / "sys" / device);
    WriteFileText(dir.File("sys/sdb/removable"), "1\n");
    WriteFileText(dir.File("sys/sdc/removable"), "1\n");
    WriteFileText(dir.File("sys/sda/removable"), "0\n");
    WriteFileText(dir.File("mounts"), "/dev/sda1 " + fixed + " ext4 rw 0 0\n/dev/sdb1 " + card +
                                          " vfat rw 0 0\n/dev/sdc1 " + empty + " vfat rw 0 0\n");
    TatCardSource source{"", true, dir.File("mounts"), dir.File("sys")};
    EXPECT_EQ(DriveList::CardRoots(source), std::vector<std::string>{card});
    source.cardFolder = "/typed/elsewhere";
    EXPECT_EQ(DriveList::CardRoots(source), (std::vector<std::string>{card, "/typed/elsewhere"}));
    source.scanRemovable = false;
    EXPECT_EQ(DriveList::CardRoots(source), std::vector<std::string>{"/typed/elsewhere"});
}
