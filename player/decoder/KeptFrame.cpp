#include "KeptFrame.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <utility>

KeptFrame::KeptFrame(const AVFrame* frame) {
    if (frame == nullptr || frame->data[0] == nullptr)
        return;
    m_frame = av_frame_clone(frame);
}

KeptFrame::~KeptFrame() {
    av_frame_free(&m_frame);
}

KeptFrame::KeptFrame(KeptFrame&& other) noexcept : m_frame(std::exchange(other.m_frame, nullptr)) {}

KeptFrame& KeptFrame::operator=(KeptFrame&& other) noexcept {
    if (this != &other) {
        av_frame_free(&m_frame);
        m_frame = std::exchange(other.m_frame, nullptr);
    }
    return *this;
}
