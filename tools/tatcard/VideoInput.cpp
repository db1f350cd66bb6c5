#include "VideoInput.h"

#include "AvSupport.h"
#include "ErrorReport.h"
#include "YuvPicture.h"
#include "formats/AnnexB.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <cmath>

namespace {

constexpr uint8_t kDelimiter[] = {0, 0, 0, 1, 9, 0xF0}; // any picture type may follow
constexpr int kDefaultFrameRate = 30;

// Where the start code in front of the NAL header at `header` begins (a four-byte code whole).
size_t StartCodeOf(const uint8_t* s, size_t header, size_t lowest) {
    const size_t code = header - 3;
    return code > lowest && s[code - 1] == 0 ? code - 1 : code;
}

struct SwsFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

} // namespace

std::vector<uint8_t> WithDelimiter(const uint8_t* unit, size_t size) {
    struct Nal {
        size_t begin = 0; // its start code
        size_t end = 0;   // the next start code or the end
        int type = 0;
    };
    std::vector<Nal> nals;
    for (size_t header = NextNalHeader(unit, size, 0); header < size;) {
        Nal nal;
        nal.begin = StartCodeOf(unit, header, nals.empty() ? 0 : nals.back().end);
        nal.type = unit[header] & 0x1F;
        const size_t next = NextNalHeader(unit, size, header + 1);
        nal.end = next < size ? StartCodeOf(unit, next, header) : size;
        nals.push_back(nal);
        header = next;
    }
    if (!nals.empty() && nals.front().type == 9 && nals.front().begin == 0)
        return std::vector<uint8_t>(unit, unit + size);
    std::vector<uint8_t> out(std::begin(kDelimiter), std::end(kDelimiter));
    out.reserve(size + sizeof kDelimiter);
    for (const Nal& nal : nals) {
        if (nal.type != 9)
            out.insert(out.end(), unit + nal.begin, unit + nal.end);
    }
    return out;
}

int WholeFrameRate(int num, int den) {
    if (num <= 0 || den <= 0)
        return 0;
    const auto rate = std::lround(static_cast<double>(num) / den);
    return rate >= 1 && rate <= 255 ? static_cast<int>(rate) : 0;
}

struct CVideoInput::State {
    av::Format format;
    AVStream* stream = nullptr;
    av::Packet packet;
    // Copying: turns MP4/Matroska length prefixes into start codes (null for Annex B input).
    av::Filter filter;
    // Coding again.
    av::Codec decoder;
    av::Frame frame;
    std::unique_ptr<SwsContext, SwsFreer> scaler;
    std::unique_ptr<YuvPicture> picture;
    CH264Encoder encoder;
    std::vector<EncodedFrame> coded;
};

CVideoInput::CVideoInput() = default;
CVideoInput::~CVideoInput() = default;

bool CVideoInput::Open(const std::string& path, int encoderThreads, std::string* error) {
    m_state = std::make_unique<State>();
    m_path = path;
    m_ready.clear();
    m_ended = false;
    State& s = *m_state;
    s.format = av::OpenInput(path, error);
    if (!s.format)
        return false;
    // Only the picture stream is read.
    s.stream = av::SelectMainStream(s.format.get(), AVMEDIA_TYPE_VIDEO);
    if (s.stream == nullptr)
        return Fail(error, "no video stream in " + path);
    const AVCodecParameters* par = s.stream->codecpar;
    m_startSeconds = av::StartSeconds(s.stream);
    m_frameRate = WholeFrameRate(s.stream->avg_frame_rate.num, s.stream->avg_frame_rate.den);
    if (m_frameRate == 0)
        m_frameRate = WholeFrameRate(s.stream->r_frame_rate.num, s.stream->r_frame_rate.den);
    if (m_frameRate == 0)
        m_frameRate = kDefaultFrameRate;
    s.packet.reset(av_packet_alloc());
    if (!s.packet)
        return Fail(error, "out of memory");

    m_copying = par->codec_id == AV_CODEC_ID_H264;
    if (m_copying) {
        m_width = par->width;
        m_height = par->height;
        if (m_width <= 0 || m_height <= 0 || m_width > 65535 || m_height > 65535)
            return Fail(error, "the picture size of " + path + " is unknown");
        const bool lengthPrefixed = par->extradata_size > 0 && par->extradata[0] == 1;
        if (!lengthPrefixed)
            return true;
        const AVBitStreamFilter* kind = av_bsf_get_by_name("h264_mp4toannexb");
        if (kind == nullptr)
            return Fail(error, "libavcodec lacks the h264_mp4toannexb filter");
        AVBSFContext* filter = nullptr;
        int rc = av_bsf_alloc(kind, &filter);
        if (rc < 0)
            return Fail(error, av::Describe("cannot set up the H.264 filter", rc));
        s.filter.reset(filter);
        rc = avcodec_parameters_copy(filter->par_in, par);
        if (rc >= 0) {
            filter->time_base_in = s.stream->time_base;
            rc = av_bsf_init(filter);
        }
        if (rc < 0)
            return Fail(error, av::Describe("cannot set up the H.264 filter for " + path, rc));
        return true;
    }

    // Any other codec: decode, scale to YUV 4:2:0 and code again.
    s.decoder = av::OpenDecoder(s.stream, 0, "the video of " + path, error);
    if (!s.decoder)
        return false;
    s.frame.reset(av_frame_alloc());
    if (!s.frame)
        return Fail(error, "out of memory");
    m_width = par->width & ~1;
    m_height = par->height & ~1;
    if (m_width < 2 || m_height < 2 || m_width > 65535 || m_height > 65535)
        return Fail(error, "the picture size of " + path + " is unknown");
    s.picture = std::make_unique<YuvPicture>(m_width, m_height);
    return s.encoder.Open(m_width, m_height, m_frameRate, encoderThreads, error);
}

bool CVideoInput::Next(EncodedFrame& frame, bool& got, std::string* error) {
    got = false;
    if (!m_state || !m_state->format)
        return Fail(error, "no video is open");
    while (m_ready.empty() && !m_ended) {
        if (!ReadMore(error))
            return false;
    }
    if (m_ready.empty())
        return true;
    frame = std::move(m_ready.front());
    m_ready.pop_front();
    got = true;
    return true;
}

// Reads one packet of the stream (or finds the end) and turns what it gives into pictures.
bool CVideoInput::ReadMore(std::string* error) {
    State& s = *m_state;
    AVPacket* packet = s.packet.get();
    const int rc = av_read_frame(s.format.get(), packet);
    if (rc == av::kEndOfFile) {
        m_ended = true;
        if (m_copying) {
            if (s.filter) {
                av_bsf_send_packet(s.filter.get(), nullptr);
                return TakeCopied(error);
            }
            return true;
        }
        avcodec_send_packet(s.decoder.get(), nullptr);
        if (!TakeDecoded(error))
            return false;
        s.coded.clear();
        if (!s.encoder.Flush(s.coded, error))
            return false;
        for (EncodedFrame& coded : s.coded)
            m_ready.push_back(std::move(coded));
        return true;
    }
    if (rc < 0)
        return Fail(error, av::Describe("reading " + m_path + " failed", rc));
    if (packet->stream_index != s.stream->index || packet->size <= 0 ||
        (packet->flags & AV_PKT_FLAG_DISCARD) != 0) {
        av_packet_unref(packet);
        return true;
    }
    if (m_copying) {
        if (!s.filter) {
            EncodedFrame unit;
            unit.data = WithDelimiter(packet->data, static_cast<size_t>(packet->size));
            unit.keyFrame = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            m_ready.push_back(std::move(unit));
            av_packet_unref(packet);
            return true;
        }
        const int sent = av_bsf_send_packet(s.filter.get(), packet); // takes the packet
        if (sent < 0) {
            av_packet_unref(packet);
            return Fail(error, av::Describe("the H.264 of " + m_path + " is damaged", sent));
        }
        return TakeCopied(error);
    }
    if (!av::SendPacket(s.decoder.get(), packet, m_path, error))
        return false;
    return TakeDecoded(error);
}

// Moves what the H.264 filter has finished into the ready pictures.
bool CVideoInput::TakeCopied(std::string* error) {
    State& s = *m_state;
    AVPacket* packet = s.packet.get();
    for (;;) {
        const int rc = av_bsf_receive_packet(s.filter.get(), packet);
        if (rc == av::kAgain || rc == av::kEndOfFile)
            return true;
        if (rc < 0)
            return Fail(error, av::Describe("the H.264 of " + m_path + " is damaged", rc));
        EncodedFrame unit;
        unit.data = WithDelimiter(packet->data, static_cast<size_t>(packet->size));
        unit.keyFrame = (packet->flags & AV_PKT_FLAG_KEY) != 0;
        m_ready.push_back(std::move(unit));
        av_packet_unref(packet);
    }
}

// Scales and codes every picture the decoder has finished.
bool CVideoInput::TakeDecoded(std::string* error) {
    State& s = *m_state;
    AVFrame* frame = s.frame.get();
    for (;;) {
        bool got = false;
        if (!av::ReceiveFrame(s.decoder.get(), frame, got, m_path, error))
            return false;
        if (!got)
            return true;
        SwsContext* scaler =
            sws_getCachedContext(s.scaler.release(), frame->width, frame->height,
                                 static_cast<AVPixelFormat>(frame->format), m_width, m_height,
                                 AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
        s.scaler.reset(scaler);
        if (scaler == nullptr) {
            av_frame_unref(frame);
            return Fail(error, "cannot convert the pictures of " + m_path);
        }
        YuvPicture& picture = *s.picture;
        uint8_t* planes[4] = {};
        int strides[4] = {};
        for (int p = 0; p < 3; ++p) {
            planes[p] = picture.Plane(p).data;
            strides[p] = picture.PlaneWidth(p);
        }
        sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
        av_frame_unref(frame);
        s.coded.clear();
        if (!s.encoder.Encode(picture, s.coded, error))
            return false;
        for (EncodedFrame& coded : s.coded)
            m_ready.push_back(std::move(coded));
    }
}
