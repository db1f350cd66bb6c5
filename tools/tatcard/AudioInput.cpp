#include "AudioInput.h"

#include "AvSupport.h"
#include "DemoSignals.h"
#include "ErrorReport.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>

namespace {

constexpr size_t kBytesPerSample = 2;
constexpr size_t kCompactAt = 1 << 16; // drop handed-out bytes once this many have gathered

struct SwrFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};

// The format a resampler was set up for.
struct SourceFormat {
    int sampleFormat = -1;
    int rate = 0;
    AVChannelLayout layout{};
};

} // namespace

struct CAudioInput::State {
    av::Format format;
    AVStream* stream = nullptr;
    av::Codec decoder;
    av::Packet packet;
    av::Frame frame;
    std::unique_ptr<SwrContext, SwrFreer> resampler;
    SourceFormat source;
    std::string what; // "the sound of PATH", for messages

    ~State() { av_channel_layout_uninit(&source.layout); }
};

CAudioInput::CAudioInput() = default;
CAudioInput::~CAudioInput() = default;

bool CAudioInput::Open(const std::string& path, double videoStart, std::string* error) {
    m_state.reset();
    m_path = path;
    m_pcm.clear();
    m_taken = 0;
    m_skip = 0;
    m_ended = false;
    auto state = std::make_unique<State>();
    state->format = av::OpenInput(path, error);
    if (!state->format)
        return false;
    // Only the sound stream is read.
    state->stream = av::SelectMainStream(state->format.get(), AVMEDIA_TYPE_AUDIO);
    if (state->stream == nullptr)
        return true; // no sound
    state->what = "the sound of " + path;
    state->decoder = av::OpenDecoder(state->stream, 1, state->what, error);
    if (!state->decoder)
        return false;
    state->packet.reset(av_packet_alloc());
    state->frame.reset(av_frame_alloc());
    if (!state->packet || !state->frame)
        return Fail(error, "out of memory");

    const double lead = av::StartSeconds(state->stream) - videoStart;
    const auto samples = static_cast<size_t>(std::lround(std::fabs(lead) * kAudioRate));
    if (lead > 0)
        m_pcm.assign(samples * kBytesPerSample, 0);
    else
        m_skip = samples * kBytesPerSample;
    m_state = std::move(state);
    return true;
}

bool CAudioInput::NextBlock(std::vector<uint8_t>& block, bool& got, std::string* error) {
    got = false;
    if (!m_state)
        return true;
    const auto blockBytes = static_cast<size_t>(kAudioBlockBytes);
    while (m_pcm.size() - m_taken < blockBytes && !m_ended) {
        if (!ReadMore(error))
            return false;
    }
    const size_t available = std::min(m_pcm.size() - m_taken, blockBytes);
    if (available == 0)
        return true;
    const auto from = m_pcm.begin() + static_cast<std::ptrdiff_t>(m_taken);
    block.assign(from, from + static_cast<std::ptrdiff_t>(available));
    block.resize(blockBytes, 0);
    m_taken += available;
    if (m_taken >= kCompactAt) {
        m_pcm.erase(m_pcm.begin(), m_pcm.begin() + static_cast<std::ptrdiff_t>(m_taken));
        m_taken = 0;
    }
    got = true;
    return true;
}

// Reads one packet of the sound stream (or finds the end) and converts what it decodes to.
bool CAudioInput::ReadMore(std::string* error) {
    State& s = *m_state;
    AVPacket* packet = s.packet.get();
    const int rc = av_read_frame(s.format.get(), packet);
    if (rc == av::kEndOfFile) {
        m_ended = true;
        avcodec_send_packet(s.decoder.get(), nullptr);
        if (!TakeDecoded(error))
            return false;
        return Convert(nullptr, 0, error); // what the resampler still holds
    }
    if (rc < 0)
        return Fail(error, av::Describe("reading " + m_path + " failed", rc));
    if (packet->stream_index != s.stream->index) {
        av_packet_unref(packet);
        return true;
    }
    if (!av::SendPacket(s.decoder.get(), packet, s.what, error))
        return false;
    return TakeDecoded(error);
}

bool CAudioInput::TakeDecoded(std::string* error) {
    State& s = *m_state;
    AVFrame* frame = s.frame.get();
    for (;;) {
        bool got = false;
        if (!av::ReceiveFrame(s.decoder.get(), frame, got, s.what, error))
            return false;
        if (!got)
            return true;
        AVChannelLayout layout{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&layout, std::max(frame->ch_layout.nb_channels, 1));
        else
            av_channel_layout_copy(&layout, &frame->ch_layout);
        const bool same = s.resampler && s.source.sampleFormat == frame->format &&
                          s.source.rate == frame->sample_rate &&
                          av_channel_layout_compare(&s.source.layout, &layout) == 0;
        if (!same) {
            // A new format (or the first frame): hand out what the old resampler holds, then
            // set up one for the new format.
            if (s.resampler && !Convert(nullptr, 0, error)) {
                av_channel_layout_uninit(&layout);
                av_frame_unref(frame);
                return false;
            }
            AVChannelLayout mono{};
            av_channel_layout_default(&mono, 1);
            SwrContext* resampler = nullptr;
            int set = swr_alloc_set_opts2(&resampler, &mono, AV_SAMPLE_FMT_S16, kAudioRate, &layout,
                                          static_cast<AVSampleFormat>(frame->format),
                                          frame->sample_rate, 0, nullptr);
            s.resampler.reset(resampler);
            if (set >= 0)
                set = swr_init(resampler);
            av_channel_layout_uninit(&mono);
            av_channel_layout_uninit(&s.source.layout);
            s.source.layout = layout; // takes over the layout's storage
            s.source.sampleFormat = frame->format;
            s.source.rate = frame->sample_rate;
            if (set < 0) {
                s.resampler.reset();
                av_frame_unref(frame);
                return Fail(error, av::Describe("cannot convert the sound of " + m_path, set));
            }
        } else {
            av_channel_layout_uninit(&layout);
        }
        const bool ok = Convert(frame->extended_data, frame->nb_samples, error);
        av_frame_unref(frame);
        if (!ok)
            return false;
    }
}

// Resamples count samples (none with null: the resampler's remainder) into the PCM.
bool CAudioInput::Convert(const uint8_t* const* samples, int count, std::string* error) {
    SwrContext* resampler = m_state->resampler.get();
    if (resampler == nullptr)
        return true;
    const int room = swr_get_out_samples(resampler, count);
    if (room < 0)
        return Fail(error, av::Describe("cannot convert the sound of " + m_path, room));
    std::vector<uint8_t> out(static_cast<size_t>(room) * kBytesPerSample + kBytesPerSample);
    uint8_t* outPlanes[1] = {out.data()};
    const int made =
        swr_convert(resampler, outPlanes, room + 1, const_cast<const uint8_t**>(samples), count);
    if (made < 0)
        return Fail(error, av::Describe("cannot convert the sound of " + m_path, made));
    Append(out.data(), static_cast<size_t>(made) * kBytesPerSample);
    return true;
}

void CAudioInput::Append(const uint8_t* bytes, size_t size) {
    const size_t skipped = std::min(m_skip, size);
    m_skip -= skipped;
    m_pcm.insert(m_pcm.end(), bytes + skipped, bytes + size);
}
