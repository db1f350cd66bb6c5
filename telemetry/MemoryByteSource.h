#pragma once

#include "ByteSource.h"

#include <cstring>

// A ByteSource over bytes in memory that the caller owns and keeps alive.
class MemoryByteSource final : public ByteSource {
public:
    MemoryByteSource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* dest, size_t count) override {
        if (!Holds(offset, count))
            return false;
        if (count > 0)
            std::memcpy(dest, m_data + offset, count);
        return true;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
};
