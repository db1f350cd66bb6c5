#include "CProfileFile.h"

#include "CProfileText.h"
#include "DecimalValue.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

enum class ReadResult { Read, Missing, Failed };

struct FileText {
    std::string bytes;
    std::optional<mode_t> mode; // permissions of the existing file
};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Reads a regular file of at most kMaxFileSize bytes. Non-blocking open, so a FIFO or device
// at the path cannot stall the caller.
ReadResult ReadWhole(const std::string& path, FileText& out) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > static_cast<off_t>(CProfileFile::kMaxFileSize))
        return ReadResult::Failed;
    out.mode = info.st_mode & 07777;
    out.bytes.clear();
    char block[4096];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), block, sizeof block);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ReadResult::Failed;
        if (n == 0)
            break;
        out.bytes.append(block, static_cast<size_t>(n));
        if (out.bytes.size() > CProfileFile::kMaxFileSize)
            return ReadResult::Failed;
    }
    return ReadResult::Read;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// A new file beside target, named after it, process and thread, created exclusively.
int CreateTemporary(const std::filesystem::path& target, std::string& tempPath) {
    const size_t thread = std::hash<std::thread::id>{}(std::this_thread::get_id());
    const std::string stem = "." + target.filename().string() + ".tmp-" +
                             std::to_string(::getpid()) + "-" + std::to_string(thread % 100000);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = (target.parent_path() / (stem + "-" + std::to_string(attempt))).string();
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void SyncFolder(const std::filesystem::path& folder) {
    FileDescriptor fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY));
    if (fd.Get() >= 0)
        ::fsync(fd.Get());
}

// Writes bytes to a temporary file and renames it over target.
bool ReplaceFile(const std::filesystem::path& target, std::string_view bytes,
                 std::optional<mode_t> mode) {
    std::string tempPath;
    FileDescriptor fd(CreateTemporary(target, tempPath));
    if (fd.Get() < 0)
        return false;
    bool ok = WriteAll(fd.Get(), bytes) && ::fsync(fd.Get()) == 0;
    if (ok && mode)
        ::fchmod(fd.Get(), *mode); // best effort: FAT cards have no permissions to keep
    ok = fd.Close() && ok;
    if (ok)
        ok = ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return false;
    }
    SyncFolder(target.parent_path());
    return true;
}

std::filesystem::path WriteTarget(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
        if (!error)
            return resolved;
    }
    return path;
}

} // namespace

std::string CProfileFile::GetString(std::string_view section, std::string_view key,
                                    std::string_view defaultText, size_t bufferSize) const {
    if (bufferSize == 0)
        return {};
    FileText file;
    if (ReadWhole(m_path, file) != ReadResult::Read)
        file.bytes.clear();
    const CProfileText text(std::move(file.bytes));
    const std::string_view value = text.Find(section, key).value_or(defaultText);
    return std::string(value.substr(0, bufferSize - 1));
}

int CProfileFile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    FileText file;
    if (ReadWhole(m_path, file) != ReadResult::Read)
        return defaultValue;
    const CProfileText text(std::move(file.bytes));
    const std::optional<std::string_view> value = text.Find(section, key);
    return value && !value->empty() ? DecimalValue(*value) : defaultValue;
}

bool CProfileFile::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) const {
    const std::filesystem::path target = WriteTarget(m_path);
    FileText file;
    const ReadResult read = ReadWhole(target.string(), file);
    if (read == ReadResult::Failed)
        return false;
    CProfileText text(file.bytes);
    if (!text.Set(section, key, value))
        return false;
    if (read == ReadResult::Read && text.Bytes() == file.bytes)
        return true;
    return ReplaceFile(target, text.Bytes(), file.mode);
}

bool CProfileFile::CreateIfMissing() const {
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == EEXIST;
    return ::close(fd) == 0;
}
