#pragma once

#include <cstddef>
#include <cstdint>

// A file that a writer writes through, so that tests can stand in for the disk.
// Threads: used by one thread at a time.
class VFileSystem {
public:
    virtual ~VFileSystem() = default;

    // mode in stdio notation ("wb"). False when it cannot be opened or one is already open.
    virtual bool Open(const char* path, const char* mode) = 0;
    // Returns the number of bytes written.
    virtual size_t Write(const void* buffer, size_t count) = 0;
    // Closes the file; false when buffered data could not be written out.
    virtual bool Close() = 0;
    // origin: 0 start, 1 current position, 2 end. 0 on success.
    virtual int Seek(int64_t offset, int origin) = 0;
    virtual bool IsOpen() const = 0;
};
