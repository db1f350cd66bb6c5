#include "VerifyCommand.h"

#include "CommandLine.h"
#include "evidence/Manifest.h"
#include "evidence/Verify.h"

#include <cinttypes>
#include <cstdio>

namespace {

const char* StateWord(evidence::FileState state) {
    switch (state) {
    case evidence::FileState::kMatch:
        return "ok";
    case evidence::FileState::kDiffers:
        return "DIFFERS";
    case evidence::FileState::kMissing:
        return "missing";
    case evidence::FileState::kUnreadable:
        return "UNREADABLE";
    }
    return "UNREADABLE";
}

// What follows the name: why a file differs or cannot be read.
std::string Detail(const evidence::FileCheck& check) {
    char text[96];
    switch (check.state) {
    case evidence::FileState::kDiffers:
        if (check.foundBytes != check.expectedBytes) {
            std::snprintf(text, sizeof text, "  (%" PRIu64 " bytes, the manifest says %" PRIu64 ")",
                          check.foundBytes, check.expectedBytes);
            return text;
        }
        return "  (SHA-256 " + check.foundSha256 + ")";
    case evidence::FileState::kUnreadable:
        return "  (" + check.reason + ")";
    case evidence::FileState::kMatch:
    case evidence::FileState::kMissing:
        break;
    }
    return {};
}

struct Tally {
    int ok = 0;
    int differ = 0;
    int missing = 0;
    int unreadable = 0;
};

Tally PrintChecks(const char* what, const std::vector<evidence::FileCheck>& checks) {
    Tally tally;
    for (const evidence::FileCheck& check : checks) {
        std::printf("%-10s %s %s%s\n", StateWord(check.state), what, check.listed.c_str(),
                    Detail(check).c_str());
        switch (check.state) {
        case evidence::FileState::kMatch:
            ++tally.ok;
            break;
        case evidence::FileState::kDiffers:
            ++tally.differ;
            break;
        case evidence::FileState::kMissing:
            ++tally.missing;
            break;
        case evidence::FileState::kUnreadable:
            ++tally.unreadable;
            break;
        }
    }
    return tally;
}

std::string Counts(const Tally& tally) {
    std::string text = std::to_string(tally.ok) + " ok, " + std::to_string(tally.differ) +
                       " differ, " + std::to_string(tally.missing) + " missing";
    if (tally.unreadable > 0)
        text += ", " + std::to_string(tally.unreadable) + " unreadable";
    return text;
}

} // namespace

int VerifyCommand(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[1].rfind("--", 0) == 0)
        return BadArguments("verify needs one manifest file (NAME.manifest.json)");
    const std::string& path = args[1];
    const evidence::ManifestRead read = evidence::ReadManifest(path);
    if (!read.manifest) {
        std::fprintf(stderr, "tatcard: cannot read the manifest %s: %s\n", path.c_str(),
                     read.error.c_str());
        return 2;
    }
    const evidence::Verification verification =
        evidence::VerifyManifest(*read.manifest, evidence::ManifestFolder(path));
    const Tally outputs = PrintChecks("output", verification.outputs);
    const Tally sources = PrintChecks("source", verification.sources);
    const bool intact = verification.Intact();
    std::printf("outputs: %s; sources: %s: %s\n", Counts(outputs).c_str(), Counts(sources).c_str(),
                intact ? "the export is as it was written" : "the export is NOT as it was written");
    return intact ? 0 : 1;
}
