#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

struct AVCodecContext;
struct AVFormatContext;
struct AVPacket;
struct AVStream;

namespace clips {

// The re-encoded clip's MP4 file (libavformat), its index moved to the front when written
// (movflags +faststart) so that it plays while it downloads.
//
// The streams are declared from their encoders, then Begin opens the file and writes the
// header. Packets written before Begin are kept and go out with it: the encoder learns only
// from the first packets read whether the recording has sound, and the sound's stream must be
// declared before the header. Every failure is kept as one line for people: the reason (the
// system's text) and the file ("No space left on device (writing /media/x/clip.mp4)").
//
// Owns the muxer, the file and the packets kept. One thread; not copyable. The file is closed
// (not removed) when the object goes without Finish.
class ClipMuxer {
public:
    enum Stream { kVideo = 0, kAudio = 1 };

    explicit ClipMuxer(std::string path);
    ~ClipMuxer();
    ClipMuxer(const ClipMuxer&) = delete;
    ClipMuxer& operator=(const ClipMuxer&) = delete;

    // Declares a stream coded by the (opened) encoder, its packets' times in the encoder's time
    // base. Before Begin only; the video stream comes first in the file, then the sound.
    void Declare(Stream stream, const AVCodecContext* encoder);
    bool Declared(Stream stream) const { return m_encoders[stream] != nullptr; }
    // Opens the file, writes the header and the packets kept. False with Error set.
    bool Begin();
    bool Begun() const { return m_begun; }
    // Writes one packet of a declared stream (kept until Begin); the packet is emptied. False
    // with Error set.
    bool Write(Stream stream, AVPacket* packet);
    // Writes the index, moves it to the front and closes the file; false with Error set when
    // any of that, or any write before, failed.
    bool Finish();

    const std::string& Error() const { return m_error; }

private:
    bool Fail(const std::string& step, int error);
    bool Send(Stream stream, AVPacket* packet);

    std::string m_path;
    AVFormatContext* m_format = nullptr; // owned, with its file
    const AVCodecContext* m_encoders[2] = {nullptr, nullptr};
    AVStream* m_streams[2] = {nullptr, nullptr};
    std::vector<std::pair<Stream, AVPacket*>> m_kept; // owned, before Begin
    bool m_begun = false;
    bool m_finished = false;
    std::string m_error;
};
} // namespace clips
