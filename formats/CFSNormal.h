#pragma once

#include "VFileSystem.h"
#include "base/AlignedBuffer.h"

#include <cstdio>
#include <vector>

class DiagLog;

// A plain file through a buffered stdio stream.
class CFSNormal final : public VFileSystem {
public:
    CFSNormal() = default;
    ~CFSNormal() override;
    CFSNormal(const CFSNormal&) = delete;
    CFSNormal& operator=(const CFSNormal&) = delete;

    // "[CFSNormal] FP is Already Opened\n" goes here when Open finds a file open.
    void SetDiagLog(const DiagLog* log) { m_diag = log; }

    bool Open(const char* path, const char* mode) override;
    size_t Write(const void* buffer, size_t count) override;
    bool Close() override;
    int Seek(int64_t offset, int origin) override;
    bool IsOpen() const override { return m_file != nullptr; }

private:
    const DiagLog* m_diag = nullptr;
    std::FILE* m_file = nullptr;
    AlignedBuffer m_buffer; // stdio's buffer for the file
};
