#include "Verify.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace evidence {

namespace {

FileCheck Check(const std::string& listed, const std::string& path, uint64_t expectedBytes,
                const std::string& expectedSha256, const DigestProgress& progress) {
    FileCheck check;
    check.listed = listed;
    check.path = path;
    check.expectedBytes = expectedBytes;
    const auto failed = [&check](int error) {
        check.state =
            error == ENOENT || error == ENOTDIR ? FileState::kMissing : FileState::kUnreadable;
        if (check.state == FileState::kUnreadable)
            check.reason = fileio::Result{error}.Reason();
        return check;
    };
    // The size first: another size differs without reading gigabytes.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return failed(errno);
    if (S_ISREG(status.st_mode) && static_cast<uint64_t>(status.st_size) != expectedBytes) {
        check.foundBytes = static_cast<uint64_t>(status.st_size);
        check.state = FileState::kDiffers;
        return check;
    }
    FileDigest digest;
    if (const fileio::Result result = DigestFile(path, digest, progress); !result.Ok())
        return failed(result.error);
    check.foundBytes = digest.sizeBytes;
    check.foundSha256 = digest.sha256;
    check.state = digest.sizeBytes == expectedBytes && digest.sha256 == expectedSha256
                      ? FileState::kMatch
                      : FileState::kDiffers;
    return check;
}

} // namespace

bool Verification::Intact() const {
    for (const FileCheck& output : outputs) {
        if (output.state != FileState::kMatch)
            return false;
    }
    for (const FileCheck& source : sources) {
        if (source.state == FileState::kDiffers || source.state == FileState::kUnreadable)
            return false;
    }
    return true;
}

Verification VerifyManifest(const Manifest& manifest, const std::string& manifestFolder,
                            const DigestProgress& progress) {
    const std::filesystem::path folder(manifestFolder.empty() ? "." : manifestFolder);
    Verification verification;
    for (const OutputFile& output : manifest.outputs) {
        verification.outputs.push_back(Check(output.name, (folder / output.name).string(),
                                             output.sizeBytes, output.sha256, progress));
    }
    for (const SourceFile& source : manifest.sources) {
        const std::filesystem::path path(source.path);
        verification.sources.push_back(Check(source.path,
                                             (path.is_absolute() ? path : folder / path).string(),
                                             source.sizeBytes, source.sha256, progress));
    }
    return verification;
}

std::string ManifestFolder(const std::string& manifestPath) {
    const std::filesystem::path parent = std::filesystem::path(manifestPath).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

} // namespace evidence
