#include "FileByteSource.h"

#include "base/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>

bool FileByteSource::Open(const std::string& path) {
    m_file = CUniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    m_size = 0;
    struct stat info {};
    if (!m_file.Valid() || ::fstat(m_file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        m_file = CUniqueFd();
        return false;
    }
    m_size = static_cast<uint64_t>(info.st_size);
    return true;
}

bool FileByteSource::ReadAt(uint64_t offset, void* dest, size_t count) {
    if (!m_file.Valid() || !Holds(offset, count))
        return false;
    return fileio::PreadFully(m_file.Get(), dest, count, offset).Ok();
}
