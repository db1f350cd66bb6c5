// Fuzz target for evidence manifests. Input: the text of a manifest file. Whatever it holds,
// reading it must not crash or read out of bounds; a manifest it accepts must hold what the
// reader promises (digests of 64 lower-case hex digits, output names inside the manifest's
// folder), read back the same once written again, and make a report in both languages.
#include "evidence/Manifest.h"
#include "evidence/Report.h"
#include "evidence/Sha256.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A buffer of exactly the input's size, so that a read past its end is caught.
    const std::unique_ptr<char[]> exact(new char[size > 0 ? size : 1]);
    if (size > 0)
        std::memcpy(exact.get(), data, size);
    const evidence::ManifestRead read =
        evidence::ParseManifest(std::string_view(exact.get(), size));
    if (!read.manifest) {
        Check(!read.error.empty());
        return 0;
    }
    Check(read.error.empty());
    const evidence::Manifest& manifest = *read.manifest;
    for (const evidence::OutputFile& output : manifest.outputs) {
        Check(IsSha256Hex(output.sha256));
        Check(evidence::IsPlainRelativeName(output.name));
    }
    for (const evidence::SourceFile& source : manifest.sources) {
        Check(IsSha256Hex(source.sha256));
        Check(!source.path.empty());
    }

    const evidence::ManifestRead again = evidence::ParseManifest(evidence::ManifestJson(manifest));
    Check(again.manifest.has_value() && *again.manifest == manifest);

    for (const evidence::ReportLanguage language :
         {evidence::ReportLanguage::kEnglish, evidence::ReportLanguage::kKorean})
        Check(!evidence::ReportText(manifest, language, "fuzz.manifest.json").empty());
    return 0;
}
