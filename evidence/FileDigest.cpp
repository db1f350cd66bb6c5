#include "FileDigest.h"

#include "Sha256.h"
#include "base/CUniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace evidence {

fileio::Result DigestFile(const std::string& path, FileDigest& out,
                          const DigestProgress& progress) {
    // Non-blocking so that a FIFO put in the way refuses at once instead of waiting for a
    // writer; reads of regular files are not affected.
    CUniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.Valid())
        return {errno};
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0)
        return {errno};
    if (S_ISDIR(status.st_mode))
        return {EISDIR};
    if (!S_ISREG(status.st_mode))
        return {EINVAL};

    Sha256 sha;
    const std::unique_ptr<char[]> block(new char[kDigestBlockBytes]);
    uint64_t total = 0;
    for (;;) {
        const ssize_t got = ::read(file.Get(), block.get(), kDigestBlockBytes);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return {errno};
        }
        if (got == 0)
            break;
        sha.Update(block.get(), static_cast<size_t>(got));
        total += static_cast<uint64_t>(got);
        if (progress && !progress(total))
            return {ECANCELED};
    }
    std::string hex = sha.FinishHex();
    if (hex.empty())
        return {ENOTSUP};
    out.sizeBytes = total;
    out.modifiedSeconds = static_cast<int64_t>(status.st_mtim.tv_sec);
    out.modifiedNanoseconds = static_cast<int32_t>(status.st_mtim.tv_nsec);
    out.sha256 = std::move(hex);
    return {};
}

} // namespace evidence
