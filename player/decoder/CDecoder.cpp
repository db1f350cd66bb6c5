#include "CDecoder.h"

#include "CJpegWriter.h"

#include <algorithm>
#include <mutex>
#include <opencv2/core.hpp>

namespace {
bool IsJpeg(const uint8_t* bytes, int32_t length) {
    return bytes != nullptr && length >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 &&
           bytes[2] == 0xFF;
}

void Flip(Picture& picture, int mode) {
    int code = 0;
    switch (mode) {
    case 1: // upside down
        code = 0;
        break;
    case 2: // both axes
        code = -1;
        break;
    case 3: // mirrored left-right
        code = 1;
        break;
    default:
        return;
    }
    cv::Mat pixels(picture.height, picture.width, CV_8UC(picture.channels), picture.pixels.data(),
                   static_cast<size_t>(picture.stride));
    cv::flip(pixels, pixels, code);
}
} // namespace

bool CDecoder::CanShowAt(AreaSize size) {
    return size.width > 0 && size.height > 0 && size.width <= kMaxAreaSide &&
           size.height <= kMaxAreaSide;
}

CDecoder::Channel& CDecoder::At(int channel) {
    return m_channels[static_cast<size_t>(std::clamp(channel, 0, kChannels - 1))];
}

template <typename Result, typename Work>
Result CDecoder::Locked(int channelIndex, Result outside, Work&& work) {
    if (channelIndex < 0 || channelIndex >= kChannels)
        return outside;
    Channel& channel = m_channels[static_cast<size_t>(channelIndex)];
    std::lock_guard lock(channel.lock);
    return work(channel);
}

template <typename Result, typename Work>
Result CDecoder::Locked(int channelIndex, Result outside, Work&& work) const {
    if (channelIndex < 0 || channelIndex >= kChannels)
        return outside;
    const Channel& channel = m_channels[static_cast<size_t>(channelIndex)];
    std::lock_guard lock(channel.lock);
    return work(channel);
}

template <typename Work> void CDecoder::Locked(int channelIndex, Work&& work) {
    if (channelIndex < 0 || channelIndex >= kChannels)
        return;
    Channel& channel = m_channels[static_cast<size_t>(channelIndex)];
    std::lock_guard lock(channel.lock);
    work(channel);
}

bool CDecoder::Open() {
    bool opened = true;
    for (Channel& channel : m_channels) {
        std::lock_guard lock(channel.lock);
        channel.picture.reset();
        channel.stale = false;
        channel.deferred.Clear();
        channel.kept.clear();
        channel.shown = KeptFrame();
        opened = channel.decoder.Open(channel.codec, m_hwDevices.get()) && opened;
    }
    return opened;
}

bool CDecoder::SetVideoCodec(int channel, VideoCodec codec) {
    Channel& c = At(channel);
    std::lock_guard lock(c.lock);
    if (c.codec == codec)
        return true;
    c.codec = codec;
    c.stale = false;
    c.deferred.Clear();
    c.kept.clear();
    c.shown = KeptFrame();
    return c.decoder.Open(codec, m_hwDevices.get());
}

void CDecoder::SetDecodeCost(int channelIndex, DecodeCost cost) {
    Locked(channelIndex, [&](Channel& channel) {
        channel.decoder.SetDecodeCost(cost.skipLoopFilter, cost.skipNonReference);
    });
}

void CDecoder::Close() {
    for (Channel& channel : m_channels) {
        std::lock_guard lock(channel.lock);
        channel.decoder.Close();
        channel.picture.reset();
        channel.stale = false;
        channel.deferred.Clear();
        channel.kept.clear();
        channel.shown = KeptFrame();
    }
}

bool CDecoder::DecodeLocked(Channel& channel, const uint8_t* bytes, int32_t length,
                            int64_t timeUs) {
    // A JPEG image in a video channel is not H.264; the channel keeps its last picture.
    if (IsJpeg(bytes, length))
        return false;
    return channel.decoder.Decode(bytes, length, timeUs);
}

void CDecoder::DecodeOldestLocked(Channel& channel) {
    const DeferredPackets::Packet packet = channel.deferred.TakeOldest();
    if (packet.restart)
        channel.decoder.Flush();
    if (DecodeLocked(channel, packet.bytes.data(), static_cast<int32_t>(packet.bytes.size()),
                     packet.timeUs))
        channel.stale = true;
}

void CDecoder::CatchUpLocked(Channel& channel) {
    while (!channel.deferred.Empty())
        DecodeOldestLocked(channel);
}

void CDecoder::Defer(int channelIndex, const uint8_t* bytes, int32_t length, int64_t timeUs,
                     bool key) {
    Locked(channelIndex, [&](Channel& channel) {
        // What drops the packets kept before it must really be a key picture: the card's own rule
        // calls every packet one that does not begin with a non-IDR slice (one that begins with
        // a delimiter or parameter sets, too).
        key = key && bytes != nullptr && length > 0 &&
              HwDecodePath::IsKeyUnit(bytes, static_cast<size_t>(length), channel.codec);
        // Nobody sees the channel now: what was kept to be shown goes, and the picture of now is
        // the one these packets make.
        channel.kept.clear();
        channel.shown = KeptFrame();
        channel.deferred.Keep(bytes, length, timeUs, key);
        while (channel.deferred.OverLimit())
            DecodeOldestLocked(channel);
    });
}

size_t CDecoder::DeferredCount(int channelIndex) {
    return Locked(channelIndex, size_t{0},
                  [&](Channel& channel) { return channel.deferred.Count(); });
}

bool CDecoder::Decode(int channelIndex, const uint8_t* bytes, int32_t length, int64_t timeUs) {
    return Locked(channelIndex, false, [&](Channel& channel) {
        CatchUpLocked(channel);
        if (!DecodeLocked(channel, bytes, length, timeUs))
            return false;
        channel.stale = true;
        return true;
    });
}

bool CDecoder::DecodeAndShow(int channelIndex, VPictureArea* area, const uint8_t* bytes,
                             int32_t length) {
    const AreaSize size = area != nullptr ? area->Size() : AreaSize{};
    if (!CanShowAt(size)) {
        // Nowhere to show it (no area, a hidden one, or one too large): the packet is still
        // decoded, so that the pictures after it are whole when the area can show them again.
        Decode(channelIndex, bytes, length, kNoTimeUs);
        return false;
    }
    return Locked(channelIndex, false, [&](Channel& channel) {
        CatchUpLocked(channel);
        const bool fresh = DecodeLocked(channel, bytes, length, kNoTimeUs);
        channel.shown = KeptFrame();
        return PresentLocked(channel, area, size, fresh);
    });
}

int64_t CDecoder::PictureTimeUs(int channelIndex) const {
    if (channelIndex < 0 || channelIndex >= kChannels)
        return kNoTimeUs;
    return m_channels[static_cast<size_t>(channelIndex)].decoder.PictureTimeUs();
}

bool CDecoder::DecodeEnd(int channelIndex) {
    return Locked(channelIndex, false, [&](Channel& channel) {
        CatchUpLocked(channel);
        if (!channel.decoder.DrainOne())
            return false;
        channel.stale = true;
        return true;
    });
}

void CDecoder::Flush(int channelIndex) {
    Locked(channelIndex, [&](Channel& channel) {
        DropAllKeptLocked(channel);
        channel.deferred.Clear();
        channel.decoder.Flush();
    });
}

bool CDecoder::Show(int channelIndex, VPictureArea* area) {
    const AreaSize size = area != nullptr ? area->Size() : AreaSize{};
    if (!CanShowAt(size))
        return false;
    return Locked(channelIndex, false, [&](Channel& channel) {
        CatchUpLocked(channel);
        channel.shown = KeptFrame();
        return PresentLocked(channel, area, size, false);
    });
}

void CDecoder::Prepare(int channelIndex, VPictureArea* area) {
    const AreaSize size = area != nullptr ? area->Size() : AreaSize{};
    if (!CanShowAt(size))
        return;
    Locked(channelIndex, [&](Channel& channel) {
        CatchUpLocked(channel);
        ConvertLocked(channel, area, size, false);
    });
}

bool CDecoder::PresentLocked(Channel& channel, VPictureArea* area, AreaSize size, bool fresh) {
    if (!ConvertLocked(channel, area, size, fresh))
        return false;
    area->PresentShared(channel.picture);
    return true;
}

int32_t CDecoder::ChannelsOf(const VPictureArea* area) {
    return area->PictureChannels() == 4 ? 4 : 3;
}

std::shared_ptr<Picture> CDecoder::ConvertNewestLocked(Channel& channel, AreaSize size,
                                                       int32_t channels) {
    // The area may still hold the last picture: convert into another one.
    std::shared_ptr<Picture> picture = channel.pool.Take();
    picture->Allocate(size.width, size.height, channels);
    if (!channel.decoder.ConvertTo(picture->pixels.data(), picture->stride, picture->width,
                                   picture->height, channels))
        return nullptr;
    Flip(*picture, channel.flipMode.load());
    return picture;
}

bool CDecoder::ConvertLocked(Channel& channel, VPictureArea* area, AreaSize size, bool fresh) {
    const int32_t channels = ChannelsOf(area);
    const Picture* shown = channel.picture.get();
    const bool resized = shown == nullptr || shown->width != size.width ||
                         shown->height != size.height || shown->channels != channels;
    if (fresh || resized || channel.stale) {
        channel.picture = ConvertNewestLocked(channel, size, channels);
        channel.stale = false;
    }
    return channel.picture != nullptr;
}

bool CDecoder::Keep(int channelIndex, VPictureArea* area, int64_t timeUs, bool convert) {
    return Locked(channelIndex, false, [&](Channel& channel) {
        CatchUpLocked(channel);
        Channel::Kept kept{channel.decoder.KeepPicture(), nullptr, timeUs};
        if (!kept.frame)
            return false;
        const AreaSize size = area != nullptr ? area->Size() : AreaSize{};
        if (convert && CanShowAt(size))
            kept.picture = ConvertNewestLocked(channel, size, ChannelsOf(area));
        channel.kept.push_back(std::move(kept));
        return true;
    });
}

size_t CDecoder::KeptCount(int channelIndex) const {
    return Locked(channelIndex, size_t{0},
                  [&](const Channel& channel) { return channel.kept.size(); });
}

int64_t CDecoder::KeptTimeUs(int channelIndex, size_t index) const {
    return Locked(channelIndex, kNoTimeUs, [&](const Channel& channel) {
        return index < channel.kept.size() ? channel.kept[index].timeUs : kNoTimeUs;
    });
}

bool CDecoder::ShowKept(int channelIndex, VPictureArea* area) {
    return Locked(channelIndex, false, [&](Channel& channel) {
        if (channel.kept.empty())
            return false;
        Channel::Kept kept = std::move(channel.kept.front());
        channel.kept.pop_front();
        channel.decoder.RestorePicture(kept.frame);
        channel.shown = std::move(kept.frame);
        channel.stale = true; // the decoder's picture is this one now
        const AreaSize size = area != nullptr ? area->Size() : AreaSize{};
        if (!CanShowAt(size))
            return false;
        const Picture* picture = kept.picture.get();
        if (picture != nullptr && picture->width == size.width && picture->height == size.height &&
            picture->channels == ChannelsOf(area)) {
            channel.picture = std::move(kept.picture);
            channel.stale = false;
        }
        return PresentLocked(channel, area, size, false);
    });
}

bool CDecoder::DropKept(int channelIndex) {
    return Locked(channelIndex, false, [&](Channel& channel) {
        if (channel.kept.empty())
            return false;
        channel.kept.pop_front();
        return true;
    });
}

void CDecoder::DropAllKept(int channelIndex) {
    Locked(channelIndex, [&](Channel& channel) { DropAllKeptLocked(channel); });
}

void CDecoder::DropAllKeptLocked(Channel& channel) {
    channel.kept.clear();
    if (!channel.shown)
        return;
    // The decoder has gone on to pictures that are not shown now: back to the one that is.
    channel.decoder.RestorePicture(channel.shown);
    channel.stale = true;
}

void CDecoder::SetContrast(int channel, int level) {
    const auto contrast = static_cast<float>(level / 10.0 + 1.0);
    At(channel).decoder.SetContrast(std::clamp(contrast, 0.01f, 2.0f));
}

void CDecoder::SetBrightness(int channel, int level) {
    At(channel).decoder.SetBrightness(static_cast<float>(level / 10.0));
}

bool CDecoder::SaveSnapshot(int channelIndex, const std::string& path) {
    Channel& channel = At(channelIndex);
    Picture native;
    {
        std::lock_guard lock(channel.lock);
        CatchUpLocked(channel); // the picture of now, also for a camera nobody sees
        if (!channel.decoder.CopyNative(native))
            return false;
    }
    return CJpegWriter::Save(native, path);
}

void CDecoder::SetFlipMode(int channel, int mode) {
    At(channel).flipMode.store(mode);
}

bool CDecoder::GetCutOut(int channelIndex, int32_t x, int32_t y, int32_t width, int32_t height,
                         Picture& out) {
    if (width <= 0 || height <= 0)
        return false;
    Channel& channel = At(channelIndex);
    int32_t shownWidth = 0;
    int32_t shownHeight = 0;
    int32_t channels = 3;
    {
        std::lock_guard lock(channel.lock);
        CatchUpLocked(channel);
        if (channel.picture == nullptr || channel.picture->Empty())
            return false;
        shownWidth = channel.picture->width;
        shownHeight = channel.picture->height;
        channels = channel.picture->channels;
    }
    // The point on the shown picture, then on the picture as decoded: the shown one may be
    // turned over or mirrored.
    const int mode = channel.flipMode.load();
    x = std::clamp(x, 0, shownWidth - 1);
    y = std::clamp(y, 0, shownHeight - 1);
    if (mode == 2 || mode == 3)
        x = shownWidth - 1 - x;
    if (mode == 1 || mode == 2)
        y = shownHeight - 1 - y;
    Picture cut;
    if (!channel.decoder.ConvertRegion(x, y, shownWidth, shownHeight, width, height, channels, cut))
        return false;
    Flip(cut, mode);
    out = std::move(cut);
    return true;
}
