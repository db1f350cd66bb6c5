#include "FileIo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fileio {

namespace {

constexpr int kTemporaryAttempts = 100;

// Runs one read or write call until it has moved `size` bytes: `step(done)` moves some of
// the rest and gives what read(2) or write(2) would. Gives the bytes moved; `error` gets the
// errno of a failed call, or `atZero` when a call moves nothing.
template <typename Step> size_t Repeat(size_t size, int atZero, int& error, Step step) {
    size_t done = 0;
    error = 0;
    while (done < size) {
        const ssize_t n = step(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : atZero;
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

// Reads up to `size` bytes from `offset`; ENODATA in `error` when the file ends first.
size_t Pread(int fd, void* dest, size_t size, uint64_t offset, int& error) {
    auto* p = static_cast<uint8_t*>(dest);
    return Repeat(size, ENODATA, error, [&](size_t done) {
        return ::pread(fd, p + done, size - done, static_cast<off_t>(offset + done));
    });
}

// A new file for ReplaceFile, its path in `temporary`; none and the errno of the failed
// open(2) in `error` when it cannot be made.
CUniqueFd CreateTemporary(const std::filesystem::path& target, const ReplaceOptions& options,
                          std::string& temporary, int& error) {
    if (!options.temporary.empty()) {
        temporary = options.temporary;
        CUniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                            options.createMode));
        error = fd.Valid() ? 0 : errno;
        return fd;
    }
    const size_t thread = std::hash<std::thread::id>{}(std::this_thread::get_id()) % 100000;
    std::string stem = ".";
    stem.append(target.filename().string())
        .append(".tmp-")
        .append(std::to_string(::getpid()))
        .append("-")
        .append(std::to_string(thread))
        .append("-");
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        temporary = (target.parent_path() / (stem + std::to_string(attempt))).string();
        const int fd =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, options.createMode);
        error = fd >= 0 ? 0 : errno;
        if (error != EEXIST)
            return CUniqueFd(fd);
    }
    return CUniqueFd();
}

void SyncFolder(const std::filesystem::path& folder) {
    CUniqueFd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid())
        ::fsync(fd.Get());
}

} // namespace

std::string Result::Reason() const {
    return std::strerror(error);
}

Result WriteFully(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    Result result;
    Repeat(size, EIO, result.error,
           [&](size_t done) { return ::write(fd, p + done, size - done); });
    return result;
}

Result PwriteFully(int fd, const void* data, size_t size, uint64_t offset) {
    const auto* p = static_cast<const uint8_t*>(data);
    Result result;
    Repeat(size, EIO, result.error, [&](size_t done) {
        return ::pwrite(fd, p + done, size - done, static_cast<off_t>(offset + done));
    });
    return result;
}

Result PreadFully(int fd, void* dest, size_t size, uint64_t offset) {
    Result result;
    Pread(fd, dest, size, offset, result.error);
    return result;
}

size_t PreadUpTo(int fd, void* dest, size_t size, uint64_t offset) {
    int error = 0;
    return Pread(fd, dest, size, offset, error);
}

Result ReadToEnd(int fd, std::string& out, size_t limit) {
    out.clear();
    char block[4096];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {errno};
        if (n == 0)
            return {};
        out.append(block, static_cast<size_t>(n));
        if (out.size() > limit)
            return {EFBIG};
    }
}

Result SyncAndClose(CUniqueFd& file, Result before) {
    const int synced = ::fsync(file.Get()) == 0 ? 0 : errno;
    const int closed = file.Close();
    if (before.Ok())
        before.error = synced != 0 ? synced : closed;
    return before;
}

Result ReplaceFile(const std::string& path, const void* data, size_t size,
                   const ReplaceOptions& options) {
    const std::filesystem::path target(path);
    std::string temporary;
    Result result;
    CUniqueFd fd = CreateTemporary(target, options, temporary, result.error);
    if (!fd.Valid())
        return result;
    if (options.mode)
        ::fchmod(fd.Get(), *options.mode);
    result = SyncAndClose(fd, WriteFully(fd.Get(), data, size));
    if (result.Ok() && std::rename(temporary.c_str(), path.c_str()) != 0)
        result.error = errno;
    if (!result.Ok()) {
        ::unlink(temporary.c_str());
        return result;
    }
    if (options.syncFolder)
        SyncFolder(target.parent_path());
    return result;
}

} // namespace fileio
