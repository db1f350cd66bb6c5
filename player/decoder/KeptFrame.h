#pragma once

struct AVFrame;

// A decoded picture kept beside the decoder's own: a reference to its frame, sharing the
// pixels with it (libavcodec's reference counting), never a copy. Move-only; empty when
// default-made or moved from.
//
// Threads: owned by one holder at a time; the frame's buffers may be released on any thread.
class KeptFrame {
public:
    KeptFrame() = default;
    // Takes a new reference to the frame's buffers; empty when the frame holds no picture or
    // the reference cannot be made.
    explicit KeptFrame(const AVFrame* frame);
    ~KeptFrame();
    KeptFrame(KeptFrame&& other) noexcept;
    KeptFrame& operator=(KeptFrame&& other) noexcept;
    KeptFrame(const KeptFrame&) = delete;
    KeptFrame& operator=(const KeptFrame&) = delete;

    explicit operator bool() const { return m_frame != nullptr; }
    const AVFrame* Get() const { return m_frame; }

private:
    AVFrame* m_frame = nullptr; // owned
};
