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

struct FileText {
    std::string bytes;
    std::optional<mode_t> mode; // permissions of the existing file
};

// Reads a regular file of at most kMaxFileSize bytes. Non-blocking open, so a FIFO or device
// at the path cannot stall the caller.
fileio::Result ReadWhole(const std::string& path, FileText& out) {
    const CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid())
        return {errno};
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0)
        return {errno};
    if (!S_ISREG(info.st_mode))
        return {EINVAL};
    if (info.st_size > static_cast<off_t>(CProfileFile::kMaxFileSize))
        return {EFBIG};
    out.mode = info.st_mode & 07777;
    return fileio::ReadToEnd(fd.Get(), out.bytes, CProfileFile::kMaxFileSize);
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
    if (!ReadWhole(m_path, file).Ok())
        file.bytes.clear();
    const CProfileText text(std::move(file.bytes));
    const std::string_view value = text.Find(section, key).value_or(defaultText);
    return std::string(value.substr(0, bufferSize - 1));
}

int CProfileFile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    FileText file;
    if (!ReadWhole(m_path, file).Ok())
        return defaultValue;
    const CProfileText text(std::move(file.bytes));
    const std::optional<std::string_view> value = text.Find(section, key);
    return value && !value->empty() ? DecimalValue(*value) : defaultValue;
}

bool CProfileFile::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) const {
    return Update([&](CProfileText& text) { return text.Set(section, key, value); }).Ok();
}

fileio::Result CProfileFile::ReadText(std::string& out) const {
    FileText file;
    const fileio::Result read = ReadWhole(m_path, file);
    out = read.Ok() ? std::move(file.bytes) : std::string();
    return read;
}

namespace {

fileio::Result ReplaceTarget(const std::filesystem::path& target, std::string_view bytes,
                             std::optional<mode_t> mode) {
    fileio::ReplaceOptions options;
    options.mode = mode; // the old file's permissions stay
    options.syncFolder = true;
    return fileio::ReplaceFile(target.string(), bytes.data(), bytes.size(), options);
}

} // namespace

fileio::Result CProfileFile::Update(const std::function<bool(CProfileText& text)>& edit) const {
    const std::filesystem::path target = WriteTarget(m_path);
    FileText file;
    const fileio::Result read = ReadWhole(target.string(), file);
    if (!read.Ok() && read.error != ENOENT)
        return read;
    CProfileText text(file.bytes);
    if (!edit(text))
        return {EINVAL};
    if (read.Ok() && text.Bytes() == file.bytes)
        return {};
    return ReplaceTarget(target, text.Bytes(), file.mode);
}

fileio::Result CProfileFile::Replace(std::string_view bytes) const {
    const std::filesystem::path target = WriteTarget(m_path);
    struct stat info {};
    std::optional<mode_t> mode;
    if (::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        mode = info.st_mode & 07777;
    return ReplaceTarget(target, bytes, mode);
}

bool CProfileFile::CreateIfMissing() const {
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == EEXIST;
    return ::close(fd) == 0;
}
