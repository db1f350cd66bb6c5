#pragma once

#include "CUniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

// POSIX file I/O that finishes what it starts: reads and writes that carry on after a signal
// (EINTR) and after short counts, and the replacement of a whole file through a temporary one.
// A failure gives the errno of the step that failed, so messages can say why.
//
// Threads: no state of its own; any thread may call any function, each on descriptors and
// buffers it does not share at the time.
namespace fileio {

// The outcome of a file operation.
struct [[nodiscard]] Result {
    int error = 0; // errno of the step that failed; 0 when everything succeeded

    bool Ok() const { return error == 0; }
    std::string Reason() const; // the system's text for error
};

// Writes all `size` bytes at the descriptor's position. Fails with the write's errno, or EIO
// when the device takes no bytes.
Result WriteFully(int fd, const void* data, size_t size);

// Writes all `size` bytes at `offset` (bytes from the start of the file); the descriptor's
// position stays.
Result PwriteFully(int fd, const void* data, size_t size, uint64_t offset);

// Reads exactly `size` bytes from `offset`. Fails with the read's errno, or ENODATA when the
// file ends first (`dest` then holds what there was).
Result PreadFully(int fd, void* dest, size_t size, uint64_t offset);

// Reads up to `size` bytes from `offset` and gives how many it got: fewer only when the file
// ends or a read fails first.
size_t PreadUpTo(int fd, void* dest, size_t size, uint64_t offset);

// Reads from the descriptor's position to the end into `out`, replacing its contents. Fails
// with the read's errno, or EFBIG as soon as more than `limit` bytes have come.
Result ReadToEnd(int fd, std::string& out, size_t limit);

// Flushes the file to the device (fsync) and closes it, both whatever came before, and gives
// the first failure: `before` (the outcome of the writes) when that failed, else the fsync's
// or the close's. Written as SyncAndClose(file, WriteFully(file.Get(), ...)).
Result SyncAndClose(CUniqueFd& file, Result before = {});

// How ReplaceFile makes its files.
struct ReplaceOptions {
    // Permissions the new file is created with; the process's umask applies.
    mode_t createMode = 0666;
    // Permissions given to the new file before it goes in place, such as those of the file it
    // replaces. Best effort: a FAT card has none to keep.
    std::optional<mode_t> mode;
    // The temporary file. Empty: a name of its own beside the target,
    // ".<name>.tmp-<process>-<thread>-<n>", created exclusively, so that writers of one target at
    // the same time never share a temporary file. A path: that file, created or truncated, so a
    // leftover of a power cut is reused instead of piling up.
    std::string temporary;
    // After the rename, fsync the target's folder so that the new name also survives a power
    // cut. Best effort: the file has been replaced by then, whatever the folder's sync says.
    bool syncFolder = false;
};

// Replaces the file at `path` with `size` bytes: they go to a temporary file in the same
// folder, which is flushed to the device (fsync), closed and renamed over `path`, so the path
// holds either the old file or the whole new one. On failure the temporary file is removed,
// any old file at `path` is untouched, and the result holds the errno of the step that failed.
Result ReplaceFile(const std::string& path, const void* data, size_t size,
                   const ReplaceOptions& options);

} // namespace fileio
