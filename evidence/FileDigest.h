#pragma once

#include "base/FileIo.h"

#include <cstdint>
#include <functional>
#include <string>

// The SHA-256 of a whole file with its size and modification time, as the evidence record of a
// clip export keeps them for its sources and outputs.
//
// Threads: no state of its own; any thread may digest any file. A digest reads the whole file
// (a clip of gigabytes takes seconds), so the window calls it off its own thread.
namespace evidence {

struct FileDigest {
    uint64_t sizeBytes = 0;          // the bytes read and digested: the file's size
    int64_t modifiedSeconds = 0;     // modification time: seconds since 1970-01-01 UTC
    int32_t modifiedNanoseconds = 0; // and the nanoseconds within that second
    std::string sha256;              // 64 lower-case hex digits
};

// Called after each block with the bytes read so far; returning false stops the digest,
// which then fails with ECANCELED. Runs on the digesting thread.
using DigestProgress = std::function<bool(uint64_t bytesRead)>;

// The bytes read at a time (1 MiB).
inline constexpr size_t kDigestBlockBytes = size_t{1} << 20;

// Digests the file at path: its bytes from the start to the end, read in blocks of
// kDigestBlockBytes, and its size and modification time as they stand when it is opened.
// Fails, with `out` left as it was, when the file cannot be opened (ENOENT: there is none),
// is not a regular file (EISDIR for a folder, EINVAL for anything else), a read fails (its
// errno), the progress callback stops it (ECANCELED) or libcrypto cannot digest (ENOTSUP).
fileio::Result DigestFile(const std::string& path, FileDigest& out,
                          const DigestProgress& progress = {});

} // namespace evidence
