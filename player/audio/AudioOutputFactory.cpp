#include "AudioOutputFactory.h"

#include "CNullAudio.h"
#include "CPulseAudio.h"

AudioOutputFactory::AudioOutputFactory(std::FILE* noticeStream) {
    if (noticeStream == nullptr)
        return;
    m_notice = [noticeStream](std::string_view line) {
        std::fprintf(noticeStream, "%.*s\n", static_cast<int>(line.size()), line.data());
        std::fflush(noticeStream);
    };
}

std::unique_ptr<VAudio> AudioOutputFactory::Make(Choice choice) const {
    if (choice == Choice::Pulse || (choice == Choice::Auto && CPulseAudio::ServerAnswers()))
        return std::make_unique<CPulseAudio>();
    if (choice == Choice::Auto && m_notice)
        m_notice(kNoServerLine);
    return std::make_unique<CNullAudio>();
}
