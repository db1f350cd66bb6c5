#include "CFSNormal.h"

#include "base/DiagLog.h"

namespace {
constexpr size_t kStdioBufferSize = 256 * 1024;
}

CFSNormal::~CFSNormal() {
    Close();
}

bool CFSNormal::Open(const char* path, const char* mode) {
    if (m_file != nullptr) {
        TATV_DIAG(m_diag, "[CFSNormal] FP is Already Opened\n");
        return false;
    }
    m_file = std::fopen(path, mode);
    if (m_file == nullptr)
        return false;
    if (m_buffer.size() != kStdioBufferSize)
        m_buffer.Resize(kStdioBufferSize, AlignedBuffer::Fill::kScratch);
    std::setvbuf(m_file, reinterpret_cast<char*>(m_buffer.data()), _IOFBF, m_buffer.size());
    return true;
}

size_t CFSNormal::Write(const void* buffer, size_t count) {
    if (m_file == nullptr)
        return 0;
    return std::fwrite(buffer, 1, count, m_file);
}

bool CFSNormal::Close() {
    if (m_file == nullptr)
        return true;
    const bool flushed = std::fflush(m_file) == 0;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    return flushed && closed;
}

int CFSNormal::Seek(int64_t offset, int origin) {
    if (m_file == nullptr || origin < 0 || origin > 2)
        return -1;
    const int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    return fseeko(m_file, static_cast<off_t>(offset), whence) == 0 ? 0 : -1;
}
