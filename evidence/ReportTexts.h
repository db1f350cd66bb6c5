#pragma once

// The sentences and labels of the evidence report in English and Korean (UTF-8).
//
// Threads: constant data; any thread.
namespace evidence {

// The report's language; the caller decides it (the window from the user's language).
enum class ReportLanguage { kEnglish, kKorean };

enum class ReportPhrase {
    kTitle,
    kIntro,
    kProgram,
    kCreated,
    kClip,
    kStart,
    kEnd,
    kCameraMinusGps,
    kSeconds, // the unit after a number of seconds, with its space where it takes one
    kNoFixes, // the camera clock's offset is not known
    kLayout,
    kOverlay,
    kOn,
    kOff,
    kEncoding,
    kLosslessCopy,
    kPreset,
    kSound,
    kSources,
    kNoSources,
    kOutputs,
    kSize,
    kBytes,
    kModified,
    kKindClip,
    kKindGpx,
    kKindCsv,
    kKindCamera,
    kHowToCheck,
    kHowSha256,
    kFile,       // stands for a file's name in a command line
    kHowTatcard, // followed by the command line
    kHowTatcardEnd,
    kCount,
};

// The phrase in the language; never null.
const char* Phrase(ReportPhrase phrase, ReportLanguage language);

} // namespace evidence
