#pragma once

#include "base/FileIo.h"

#include <string>

// A file an export writes by name: the writer (libavformat, the CSV writer, ...) fills a
// temporary file beside the target, ".<name>.part-<process>-<n>", which goes in place by a
// rename only when whole, so the target holds the old file or the whole new one. A target that
// is not committed has its temporary file removed when this is destroyed.
//
// Not copyable; one thread at a time (the exporting thread).
class ClipTarget {
public:
    explicit ClipTarget(std::string path);
    ~ClipTarget();
    ClipTarget(const ClipTarget&) = delete;
    ClipTarget& operator=(const ClipTarget&) = delete;
    ClipTarget(ClipTarget&& other) noexcept;
    ClipTarget& operator=(ClipTarget&&) = delete;

    const std::string& Path() const { return m_path; }
    // The temporary file's path, the same for the target's life.
    const std::string& TemporaryPath() const { return m_temporary; }
    // Makes the temporary file, empty and exclusively (fails when the folder cannot take it).
    fileio::Result Create();
    // Flushes the temporary file to the device and renames it over the target. After a failure
    // the temporary file is removed and the old target stays.
    fileio::Result Commit();
    // Removes the temporary file (harmless when there is none or it was committed).
    void Discard();

private:
    std::string m_path;
    std::string m_temporary;
    bool m_committed = false;
};
