// SHA-256 of bytes and files: the published test vectors, a file of several read blocks against
// sha256sum, the size and modification time beside the digest, and the failures a digest
// reports instead of hanging or crashing.
#include "evidence/FileDigest.h"
#include "evidence/Sha256.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

TEST(Sha256Test, KnownVectorsInOneCallAndInPieces) {
    EXPECT_EQ(Sha256::OfBytes(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256::OfBytes("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const std::string twoDigest =
        "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1";
    EXPECT_EQ(Sha256::OfBytes(two), twoDigest);

    // The same bytes given in uneven pieces give the same digest, once.
    Sha256 sha;
    sha.Update(two.data(), 1);
    sha.Update(two.data() + 1, 0);
    sha.Update(two.data() + 1, 30);
    sha.Update(two.data() + 31, two.size() - 31);
    EXPECT_EQ(sha.FinishHex(), twoDigest);
    EXPECT_EQ(sha.FinishHex(), ""); // spent
    EXPECT_FALSE(sha.Ok());

    EXPECT_TRUE(IsSha256Hex(twoDigest));
    EXPECT_FALSE(IsSha256Hex(twoDigest.substr(1)));
    std::string upper = twoDigest;
    upper[0] = 'A';
    EXPECT_FALSE(IsSha256Hex(upper));
}

TEST(FileDigestTest, SeveralBlocksMatchSha256sumWithSizeAndTime) {
    TempDir dir;
    // Two and a half read blocks of bytes that differ from block to block.
    std::vector<uint8_t> bytes(evidence::kDigestBlockBytes * 5 / 2);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>((i * 131 + i / 977) & 0xFF);
    const std::string path = dir.File("clip name.mp4");
    WriteFileBytes(path, bytes);
    const timespec times[2] = {{1700000000, 0}, {1709597222, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

    std::string expected;
    ASSERT_EQ(RunCommand("sha256sum '" + path + "'", &expected), 0);
    expected = expected.substr(0, 64);

    std::vector<uint64_t> progress;
    evidence::FileDigest digest;
    ASSERT_TRUE(evidence::DigestFile(path, digest, [&](uint64_t done) {
                    progress.push_back(done);
                    return true;
                }).Ok());
    EXPECT_EQ(digest.sha256, expected);
    EXPECT_EQ(digest.sizeBytes, bytes.size());
    EXPECT_EQ(digest.modifiedSeconds, 1709597222);
    EXPECT_EQ(digest.modifiedNanoseconds, 123456789);
    EXPECT_EQ(progress, (std::vector<uint64_t>{evidence::kDigestBlockBytes,
                                               2 * evidence::kDigestBlockBytes, bytes.size()}));

    // An empty file has the digest of no bytes.
    WriteFileBytes(dir.File("empty"), {});
    ASSERT_TRUE(evidence::DigestFile(dir.File("empty"), digest).Ok());
    EXPECT_EQ(digest.sha256, Sha256::OfBytes(""));
    EXPECT_EQ(digest.sizeBytes, 0u);
}

TEST(FileDigestTest, FailuresAreReportedAndLeaveTheDigestAlone) {
    TempDir dir;
    WriteFileText(dir.File("file"), "bytes");
    evidence::FileDigest digest;
    digest.sha256 = "before";

    EXPECT_EQ(evidence::DigestFile(dir.File("none"), digest).error, ENOENT);
    EXPECT_EQ(evidence::DigestFile(dir.File("file/below"), digest).error, ENOTDIR);
    EXPECT_EQ(evidence::DigestFile(dir.Path().string(), digest).error, EISDIR);
    // A FIFO without a writer is refused at once instead of waiting for one.
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_EQ(evidence::DigestFile(dir.File("fifo"), digest).error, EINVAL);
    // The caller stops it.
    EXPECT_EQ(evidence::DigestFile(dir.File("file"), digest, [](uint64_t) { return false; }).error,
              ECANCELED);
    if (::geteuid() != 0) { // root reads whatever the permissions say
        ASSERT_EQ(::chmod(dir.File("file").c_str(), 0), 0);
        EXPECT_EQ(evidence::DigestFile(dir.File("file"), digest).error, EACCES);
    }
    EXPECT_EQ(digest.sha256, "before");
}

} // namespace
