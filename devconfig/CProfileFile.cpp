#include "CProfileFile.h"

#include "CProfileText.h"
#include "DecimalValue.h"
#include "base/CUniqueFd.h"
#include "base/FileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class ReadResult { Read, Missing, Failed };

struct FileText {
    std::string bytes;
    std::optional<mode_t> mode; // permissions of the existing file
};

// Reads a regular file of at most kMaxFileSize bytes. Non-blocking open, so a FIFO or device
// at the path cannot stall the caller.
ReadResult ReadWhole(const std::string& path, FileText& out) {
    const CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid())
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > static_cast<off_t>(CProfileFile::kMaxFileSize))
        return ReadResult::Failed;
    out.mode = info.st_mode & 07777;
    if (!fileio::ReadToEnd(fd.Get(), out.bytes, CProfileFile::kMaxFileSize).Ok())
        return ReadResult::Failed;
    return ReadResult::Read;
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
    fileio::ReplaceOptions options;
    options.mode = file.mode; // the old file's permissions stay
    options.syncFolder = true;
    const std::string_view bytes = text.Bytes();
    return fileio::ReplaceFile(target.string(), bytes.data(), bytes.size(), options).Ok();
}

bool CProfileFile::CreateIfMissing() const {
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == EEXIST;
    return ::close(fd) == 0;
}
