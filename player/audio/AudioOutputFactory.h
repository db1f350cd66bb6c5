#pragma once
#include "player/api/VAudio.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string_view>

// Chooses and makes the program's sound output.
//
// Auto asks the sound server of the session (a PulseAudio stream opened and freed again) and
// makes the PulseAudio output when one answers; otherwise it makes the clocked null device,
// so that playback keeps the recording's pace without sound, and tells the notice once. Null
// and Pulse force one output without asking anything (Pulse then fails at Open when no server
// answers).
//
// Threads: any; each call is independent. The caller owns what it returns.
class AudioOutputFactory {
public:
    enum class Choice { Auto, Null, Pulse };
    // Receives one line of text, without its line break.
    using Notice = std::function<void(std::string_view line)>;

    static constexpr std::string_view kNoServerLine =
        "tatview: no sound server answered; playing without sound (silent output at the "
        "recording's pace)";

    // The notice goes to the given stream (standard error in the program); null keeps quiet.
    explicit AudioOutputFactory(std::FILE* noticeStream = stderr);
    explicit AudioOutputFactory(Notice notice) : m_notice(std::move(notice)) {}

    // Never null.
    std::unique_ptr<VAudio> Make(Choice choice) const;

private:
    Notice m_notice;
};
