// File I/O helpers: whole-file replacement through a temporary file (its bytes, its
// permissions, what a failure leaves behind), reads and writes at offsets, and transfers that
// go on through signals and short counts.
#include "base/FileIo.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

std::vector<std::string> Names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// Sets the umask for the life of the object.
class Umask {
public:
    explicit Umask(mode_t mask) : m_old(umask(mask)) {}
    ~Umask() { umask(m_old); }

private:
    mode_t m_old;
};

std::atomic<int> g_signals{0};
void CountSignal(int) {
    ++g_signals;
}

} // namespace

TEST(FileIo, ReplaceWritesExactlyTheBytesWithTheAskedPermissions) {
    TempDir dir;
    const Umask mask(022);
    const std::string path = dir.File("a.bin");
    WriteFileBytes(path, std::vector<uint8_t>(300000, 0xEE)); // longer than the new file
    const std::vector<uint8_t> bytes = Pattern(100003);

    // A name of its own: created 0666 less the umask.
    ASSERT_TRUE(fileio::ReplaceFile(path, bytes.data(), bytes.size(), {}).Ok());
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_EQ(ModeOf(path), 0644u);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"a.bin"});

    // Permissions of the old file kept; an empty file is a file too.
    fileio::ReplaceOptions keep;
    keep.mode = 0600;
    keep.syncFolder = true;
    ASSERT_TRUE(fileio::ReplaceFile(path, nullptr, 0, keep).Ok());
    EXPECT_TRUE(ReadFileBytes(path).empty());
    EXPECT_EQ(ModeOf(path), 0600u);

    // A given temporary name, created with the asked permissions; a leftover there is taken
    // over and gone afterwards.
    fileio::ReplaceOptions fixed;
    fixed.createMode = 0640;
    fixed.temporary = path + ".new";
    ASSERT_TRUE(fileio::ReplaceFile(path, bytes.data(), 10, fixed).Ok());
    EXPECT_EQ(ModeOf(path), 0640u);
    WriteFileBytes(fixed.temporary, std::vector<uint8_t>(500000, 1));
    ASSERT_TRUE(fileio::ReplaceFile(path, bytes.data(), 20, fixed).Ok());
    EXPECT_EQ(ReadFileBytes(path), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20));
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"a.bin"});
}

TEST(FileIo, FailedReplaceLeavesTheOldFileWholeAndNoTemporary) {
    TempDir dir;
    const std::string path = dir.File("a.bin");
    const std::vector<uint8_t> old = Pattern(5000);
    WriteFileBytes(path, old);
    const std::vector<uint8_t> bytes = Pattern(64 * 1024);
    fileio::ReplaceOptions fixed;
    fixed.temporary = path + ".new";

    // Past a file size limit (which binds root too) the write itself fails.
    for (const fileio::ReplaceOptions& options : {fileio::ReplaceOptions{}, fixed}) {
        fileio::Result result;
        WithFileSizeLimit(
            4096, [&] { result = fileio::ReplaceFile(path, bytes.data(), bytes.size(), options); });
        EXPECT_EQ(result.error, EFBIG) << result.Reason();
        EXPECT_EQ(ReadFileBytes(path), old);
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"a.bin"});
    }

    // A folder at the path: written, then the rename fails.
    std::filesystem::create_directory(dir.File("folder"));
    EXPECT_EQ(fileio::ReplaceFile(dir.File("folder"), bytes.data(), bytes.size(), {}).error,
              EISDIR);
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("folder")));
    // No folder for the temporary file.
    EXPECT_EQ(fileio::ReplaceFile(dir.File("none/a.bin"), bytes.data(), bytes.size(), {}).error,
              ENOENT);
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"a.bin", "folder"}));
    EXPECT_EQ(ReadFileBytes(path), old);
}

TEST(FileIo, ReadsAndWritesAtOffsets) {
    TempDir dir;
    const std::string path = dir.File("a.bin");
    WriteFileBytes(path, std::vector<uint8_t>(100, 0));
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::vector<uint8_t> bytes = Pattern(40);
    ASSERT_TRUE(fileio::PwriteFully(fd, bytes.data(), bytes.size(), 80).Ok()); // grows the file
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 0);
    EXPECT_EQ(std::filesystem::file_size(path), 120u);

    std::vector<uint8_t> back(50, 0xAA);
    ASSERT_TRUE(fileio::PreadFully(fd, back.data(), 40, 80).Ok());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), back.begin()));
    // Past the end: what there is, and the end said.
    EXPECT_EQ(fileio::PreadFully(fd, back.data(), 50, 100).error, ENODATA);
    EXPECT_TRUE(std::equal(bytes.begin() + 20, bytes.end(), back.begin()));
    EXPECT_EQ(fileio::PreadUpTo(fd, back.data(), 50, 100), 20u);
    EXPECT_EQ(fileio::PreadUpTo(fd, back.data(), 50, 500), 0u);
    close(fd);

    // Reading to the end stops at a limit.
    const int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(in, 0);
    std::string text = "old";
    EXPECT_EQ(fileio::ReadToEnd(in, text, 119).error, EFBIG);
    ASSERT_EQ(lseek(in, 0, SEEK_SET), 0);
    ASSERT_TRUE(fileio::ReadToEnd(in, text, 120).Ok());
    EXPECT_EQ(text.size(), 120u);
    EXPECT_EQ(static_cast<uint8_t>(text[119]), bytes[39]);
    close(in);
    EXPECT_EQ(fileio::WriteFully(-1, bytes.data(), 1).error, EBADF);
}

// A megabyte through a pipe, with signals that do not restart system calls sent to both ends
// all along: a blocked write or read returns early (EINTR or a short count) many times.
TEST(FileIo, TransfersGoOnThroughSignalsAndShortCounts) {
    struct sigaction action {};
    action.sa_handler = CountSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART
    struct sigaction old {};
    ASSERT_EQ(sigaction(SIGUSR1, &action, &old), 0);
    g_signals = 0;

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const std::vector<uint8_t> bytes = Pattern(1 << 20);
    fileio::Result written;
    std::thread writer([&] {
        written = fileio::WriteFully(ends[1], bytes.data(), bytes.size());
        close(ends[1]);
    });
    std::atomic<bool> stop{false};
    const pthread_t reader = pthread_self();
    std::thread signaller([&, target = writer.native_handle()] {
        while (!stop) {
            pthread_kill(target, SIGUSR1);
            pthread_kill(reader, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    // The reader starts only once signals are arriving, so the writer is first interrupted
    // while blocked on a full pipe, however the threads happen to be scheduled.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (g_signals < 20 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::string received;
    const fileio::Result read = fileio::ReadToEnd(ends[0], received, 2 << 20);
    stop = true;
    signaller.join();
    writer.join();
    close(ends[0]);
    sigaction(SIGUSR1, &old, nullptr);

    EXPECT_TRUE(written.Ok()) << written.Reason();
    EXPECT_TRUE(read.Ok()) << read.Reason();
    EXPECT_GT(g_signals.load(), 0);
    ASSERT_EQ(received.size(), bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), received.begin(),
                           [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }));
}
