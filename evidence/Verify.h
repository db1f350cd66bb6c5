#pragma once

#include "FileDigest.h"
#include "Manifest.h"

#include <cstdint>
#include <string>
#include <vector>

// Checks the files a manifest lists against the sizes and digests it holds.
//
// Threads: no state of its own; any thread. A check reads every file whole, so the window
// runs it off its own thread.
namespace evidence {

// What a check found for one file.
enum class FileState {
    kMatch,      // same size, same SHA-256
    kDiffers,    // another size or another SHA-256
    kMissing,    // no file there (ENOENT or ENOTDIR)
    kUnreadable, // there, but it could not be read (permissions, an I/O error, not a file)
};

struct FileCheck {
    std::string listed; // the output's name or the source's path as the manifest lists it
    std::string path;   // where it was looked for
    FileState state = FileState::kMissing;
    uint64_t expectedBytes = 0; // as listed
    uint64_t foundBytes = 0;    // the file's size, when it was found
    std::string foundSha256;    // its digest, when it was read (not for another size)
    std::string reason;         // kUnreadable: the system's text for the failure
};

struct Verification {
    std::vector<FileCheck> outputs; // in the manifest's order
    std::vector<FileCheck> sources; // in the manifest's order

    // Every output matches and no source that is there differs or is unreadable: the export
    // is as it was written. Missing sources do not count against it (the card may be gone).
    bool Intact() const;
};

// Checks each output at "<manifestFolder>/<name>" and each source at its path (a relative
// path from manifestFolder). A file of another size is told as kDiffers without reading it;
// one of the listed size is digested. progress, when given, is passed to every digest (its
// count starts again at each file).
Verification VerifyManifest(const Manifest& manifest, const std::string& manifestFolder,
                            const DigestProgress& progress = {});

// The folder a manifest file lies in, for VerifyManifest: "." for a bare file name.
std::string ManifestFolder(const std::string& manifestPath);

} // namespace evidence
