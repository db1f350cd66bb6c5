#include "ReportTexts.h"

#include <cstddef>

namespace evidence {

namespace {

struct PhrasePair {
    ReportPhrase phrase;
    const char* english;
    const char* korean;
};

// In the order of ReportPhrase (checked below).
constexpr PhrasePair kPhrases[] = {
    {ReportPhrase::kTitle, "Incident clip: evidence record", "사고 영상: 증거 기록"},
    {ReportPhrase::kIntro,
     "This record lists the recordings a clip was made from and the files the export wrote, each "
     "with its SHA-256 digest, so that anyone can check that none of them has been changed "
     "since.",
     "이 기록에는 영상을 만든 원본 녹화 파일과 내보내기로 만든 파일이 각각의 SHA-256 해시 값과 "
     "함께 적혀 있어, 그 뒤로 어느 파일도 바뀌지 않았음을 누구나 확인할 수 있습니다."},
    {ReportPhrase::kProgram, "Program", "프로그램"},
    {ReportPhrase::kCreated, "Made (UTC)", "작성 시각 (UTC)"},
    {ReportPhrase::kClip, "Clip", "영상 구간"},
    {ReportPhrase::kStart, "Start", "시작"},
    {ReportPhrase::kEnd, "End", "끝"},
    {ReportPhrase::kCameraMinusGps, "Camera clock minus GPS time", "카메라 시계 - GPS 시각"},
    {ReportPhrase::kSeconds, " s", "초"},
    {ReportPhrase::kNoFixes, "not known (no GPS fixes)", "알 수 없음 (GPS 수신 없음)"},
    {ReportPhrase::kLayout, "Layout", "화면 배치"},
    {ReportPhrase::kOverlay, "Overlay", "정보 표시"},
    {ReportPhrase::kOn, "on", "켬"},
    {ReportPhrase::kOff, "off", "끔"},
    {ReportPhrase::kEncoding, "Encoding", "인코딩"},
    {ReportPhrase::kLosslessCopy, "lossless copy of the recorded pictures",
     "녹화된 영상을 무손실 복사"},
    {ReportPhrase::kPreset, "preset", "프리셋"},
    {ReportPhrase::kSound, "Sound", "소리"},
    {ReportPhrase::kSources, "Source recordings (only read, never changed)",
     "원본 녹화 파일 (읽기만 하고 바꾸지 않음)"},
    {ReportPhrase::kNoSources, "none listed", "없음"},
    {ReportPhrase::kOutputs, "Files of this export", "이번 내보내기로 만든 파일"},
    {ReportPhrase::kSize, "Size", "크기"},
    {ReportPhrase::kBytes, "bytes", "바이트"},
    {ReportPhrase::kModified, "Modified (UTC)", "수정 시각 (UTC)"},
    {ReportPhrase::kKindClip, "clip", "영상"},
    {ReportPhrase::kKindGpx, "GPS route, GPX", "GPS 경로, GPX"},
    {ReportPhrase::kKindCsv, "G-sensor and GPS data, CSV", "G-센서와 GPS 데이터, CSV"},
    {ReportPhrase::kKindCamera, "camera file, copied without loss", "카메라별 파일 (무손실 복사)"},
    {ReportPhrase::kHowToCheck, "How to check", "확인 방법"},
    {ReportPhrase::kHowSha256,
     "Compute a file's SHA-256 with any standard tool and compare it with the value above. The "
     "same value means the same bytes; a file changed in any way gives another value. For "
     "example:",
     "일반적인 도구로 파일의 SHA-256 값을 계산해 위의 값과 비교하십시오. 값이 같으면 파일의 "
     "내용이 바이트 하나까지 같고, 파일이 조금이라도 바뀌면 다른 값이 나옵니다. 예:"},
    {ReportPhrase::kFile, "FILE", "파일"},
    {ReportPhrase::kHowTatcard, "The command", "다음 명령은"},
    {ReportPhrase::kHowTatcardEnd, "checks every file of the record at once.",
     "기록에 있는 모든 파일을 한 번에 확인합니다."},
};

constexpr bool InOrder() {
    for (size_t i = 0; i < sizeof kPhrases / sizeof kPhrases[0]; ++i) {
        if (static_cast<size_t>(kPhrases[i].phrase) != i)
            return false;
    }
    return sizeof kPhrases / sizeof kPhrases[0] == static_cast<size_t>(ReportPhrase::kCount);
}
static_assert(InOrder(), "kPhrases holds every phrase in the order of ReportPhrase");

} // namespace

const char* Phrase(ReportPhrase phrase, ReportLanguage language) {
    const auto index = static_cast<size_t>(phrase);
    if (index >= static_cast<size_t>(ReportPhrase::kCount))
        return "";
    const PhrasePair& pair = kPhrases[index];
    return language == ReportLanguage::kKorean ? pair.korean : pair.english;
}

} // namespace evidence
