#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

// A fixed-size byte buffer aligned to a page.
//
// Large blocks from the ordinary allocator start 16 bytes into a page, and copies into such
// addresses (the kernel's read() among them) run several times slower on common x86
// processors than copies into 64-byte-aligned ones. Every buffer that packets or file data
// pass through in bulk is one of these.
class AlignedBuffer {
public:
    static constexpr size_t kAlignment = 4096;
    // Zero: the buffer starts as zero bytes. Scratch: its bytes are undefined until written; the
    // pages are then only touched (and taken from the system) as far as they are used.
    enum class Fill { kZero, kScratch };

    AlignedBuffer() = default;
    explicit AlignedBuffer(size_t size, Fill fill = Fill::kZero) { Resize(size, fill); }
    ~AlignedBuffer() { std::free(m_data); }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    AlignedBuffer(AlignedBuffer&& other) noexcept : m_data(other.m_data), m_size(other.m_size) {
        other.m_data = nullptr;
        other.m_size = 0;
    }
    AlignedBuffer& operator=(AlignedBuffer&& other) noexcept {
        if (this != &other) {
            std::free(m_data);
            m_data = other.m_data;
            m_size = other.m_size;
            other.m_data = nullptr;
            other.m_size = 0;
        }
        return *this;
    }

    // Replaces the contents with `size` bytes, zero ones unless fill is kScratch.
    void Resize(size_t size, Fill fill = Fill::kZero) {
        std::free(m_data);
        m_data = nullptr;
        m_size = 0;
        if (size == 0)
            return;
        const size_t rounded = (size + kAlignment - 1) / kAlignment * kAlignment;
        m_data = static_cast<uint8_t*>(std::aligned_alloc(kAlignment, rounded));
        if (m_data == nullptr)
            throw std::bad_alloc();
        if (fill == Fill::kZero)
            std::memset(m_data, 0, size);
        m_size = size;
    }

    uint8_t* data() { return m_data; }
    const uint8_t* data() const { return m_data; }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

private:
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
};
