#pragma once

#include <cstddef>
#include <cstdint>

// Random access to the bytes of one file or buffer, for the telemetry readers. Offsets and
// sizes are bytes; a read never goes past Size().
//
// Threads: one caller at a time per source.
class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Total bytes.
    virtual uint64_t Size() const = 0;

    // Copies `count` bytes from `offset` into dest. False (dest undefined) when any of them
    // lies outside the source or the read fails.
    virtual bool ReadAt(uint64_t offset, void* dest, size_t count) = 0;

    // True when [offset, offset + count) lies inside the source.
    bool Holds(uint64_t offset, uint64_t count) const {
        const uint64_t size = Size();
        return offset <= size && count <= size - offset;
    }
};
