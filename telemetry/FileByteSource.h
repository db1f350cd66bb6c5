#pragma once

#include "ByteSource.h"
#include "base/CUniqueFd.h"

#include <string>

// A ByteSource over a file, read with pread; the size is taken when the file is opened.
// Owns its descriptor.
class FileByteSource final : public ByteSource {
public:
    // False when the file cannot be opened or is not a regular file.
    bool Open(const std::string& path);

    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* dest, size_t count) override;

private:
    CUniqueFd m_file;
    uint64_t m_size = 0;
};
