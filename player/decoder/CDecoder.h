#pragma once

#include "CFFMH264_Decoder.h"
#include "DeferredPackets.h"
#include "HwDeviceProvider.h"
#include "KeptFrame.h"
#include "PicturePool.h"
#include "base/CSync.h"
#include "player/api/Picture.h"
#include "player/api/VMediaDecoder.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

// The player's video decoder: channel 0 (front), 1 (rear) and 2 … 5 (further cameras of a
// car), each with its own H.264
// decoder and the picture last shown for it, at its area's size, in BGR with the area's bytes
// per pixel.
//
// Channel numbers outside 0…5 are clamped to the nearer one, except by DecodeAndShow, which
// refuses them.
//
// Owns the channel decoders and pictures; the areas belong to the caller and are used only
// during the call that receives them.
//
// Threads: DecodeAndShow, Decode, Show (and Open, Close) on the engine's worker thread;
// SetBrightness, SetContrast, SetFlipMode, SaveSnapshot and GetCutOut on the window thread, at any
// moment. Each channel has a lock held while a packet is decoded, converted and presented and while
// the shown picture's size is read; pictures are shared with the areas (PresentShared), never
// copied; the channel decoder's own lock covers colour settings, snapshots and cut-outs, and
// is taken after the channel's lock, never before. PresentShared is called with the channel's
// lock held, so an area must not call back into the decoder from it.
class CDecoder : public VMediaDecoder {
public:
    static constexpr int kChannels = 6;
    // Largest area side converted to; larger areas are refused rather than allocated.
    static constexpr int32_t kMaxAreaSide = 16384;

    CDecoder() = default;
    ~CDecoder() override = default;
    CDecoder(const CDecoder&) = delete;
    CDecoder& operator=(const CDecoder&) = delete;

    // The hardware devices the channels decode on from the next Open or SetVideoCodec on (null:
    // software only). Call before Open, while no channel decodes; the decoder shares it.
    void SetHwDevices(std::shared_ptr<HwDeviceProvider> devices) {
        m_hwDevices = std::move(devices);
    }

    // Opens every channel decoder. False when one could not be opened.
    bool Open() override;
    // Closes every channel decoder and forgets their pictures.
    void Close() override;

    // Decodes one packet of the channel and presents the channel's picture at the area's size
    // (see VMediaDecoder). A packet holding a JPEG image (it starts FF D8 FF) is not decoded.
    // When the packet yields no new picture, the last one is presented again (rescaled if the
    // area changed size) and the result is true; with nothing decoded yet it is false. Flip
    // modes apply to each newly converted picture once. With no area, or one of 0 x 0 (hidden)
    // or larger than kMaxAreaSide, the packet is only decoded (for snapshots, and so that the
    // area shows whole pictures again at once) and the result is false.
    bool DecodeAndShow(int channel, VPictureArea* area, const uint8_t* bytes,
                       int32_t length) override;
    // Decodes without converting or presenting; the next DecodeAndShow presents the newest
    // picture. False for a channel outside 0…5 or a packet that yields no picture.
    bool Decode(int channel, const uint8_t* bytes, int32_t length, int64_t timeUs) override;
    // Keeps the packet undecoded while nobody sees the channel (DeferredPackets); the kept
    // packets are decoded before the channel's picture is next needed: by Decode,
    // DecodeAndShow, Show on an area that can show it, DecodeEnd, SaveSnapshot and GetCutOut.
    // Flush, Open, Close and SetVideoCodec drop them. key drops the packets kept before it
    // only when the packet's bitstream holds a key picture too. Nothing for a channel outside
    // 0…5.
    void Defer(int channel, const uint8_t* bytes, int32_t length, int64_t timeUs,
               bool key) override;
    // Packets of the channel kept undecoded now; 0 outside 0…5.
    size_t DeferredCount(int channel);
    int64_t PictureTimeUs(int channel) const override;
    // Presents the newest decoded picture as DecodeAndShow does when its packet yields none.
    bool Show(int channel, VPictureArea* area) override;
    void Prepare(int channel, VPictureArea* area) override;
    bool DecodeEnd(int channel) override;
    // Also drops the kept pictures, as DropAllKept does.
    void Flush(int channel) override;
    // Kept pictures (see VMediaDecoder). Nothing is kept for a channel outside 0…5 or a frame
    // that cannot be referenced. Show, DecodeAndShow and Defer make the newest picture the
    // channel's again; Defer, Open, Close and SetVideoCodec drop what was kept.
    bool Keep(int channel, VPictureArea* area, int64_t timeUs, bool convert) override;
    size_t KeptCount(int channel) const override;
    int64_t KeptTimeUs(int channel, size_t index) const override;
    bool ShowKept(int channel, VPictureArea* area) override;
    bool DropKept(int channel) override;
    void DropAllKept(int channel) override;

    // contrast = level / 10 + 1, limited to 0.01 … 2.0; applies from the next picture on.
    void SetContrast(int channel, int level) override;
    // brightness = level / 10 (1.0 brightens by the whole 8-bit scale); from the next picture.
    void SetBrightness(int channel, int level) override;
    // Writes the channel's last decoded picture at its native size, unflipped, with the
    // channel's brightness and contrast, as a JPEG file. False, and no file, when nothing has
    // been decoded yet or the file cannot be written whole.
    bool SaveSnapshot(int channel, const std::string& path) override;
    // 0 none, 1 upside down, 2 both axes, 3 mirrored left-right; other values: none.
    void SetFlipMode(int channel, int mode) override;
    // Reopens the channel's decoder for another coding (nothing when it already decodes that
    // one); its last picture stays shown until a new one comes. Open keeps each channel's
    // coding.
    bool SetVideoCodec(int channel, VideoCodec codec) override;
    // Nothing for a channel outside 0…5.
    void SetDecodeCost(int channel, DecodeCost cost) override;

    // The zoom window's cut-out: a width × height region of the channel's last decoded
    // picture at its full resolution, centred on the point under (x, y) of the shown picture
    // (in the shown picture's pixels; a point outside counts as the nearest edge), into `out`.
    // The point is scaled by the decoded size over the shown size, so the region shows the
    // picture enlarged by that ratio (2 for 1280 × 720 shown at 640 × 360). Only the region is
    // converted, to BGR with the shown picture's bytes per pixel and the channel's brightness,
    // contrast and flip mode. It is moved to lie inside the picture, is smaller where the
    // picture is, and may sit a pixel left of and above the exact centre (the colour samples'
    // grid). False, `out` untouched, when the channel shows nothing.
    bool GetCutOut(int channel, int32_t x, int32_t y, int32_t width, int32_t height, Picture& out);

private:
    struct Channel {
        CFFMH264_Decoder decoder;
        mutable CSync lock{"none"};
        PicturePool pool;
        // Guarded by lock: the last picture presented, shared with the area that shows it and
        // never changed after that; the next picture is converted into one from the pool.
        std::shared_ptr<Picture> picture;
        bool stale = false; // guarded by lock: decoder holds a newer picture
        std::atomic<int> flipMode{0};
        VideoCodec codec = VideoCodec::kH264; // guarded by lock
        DeferredPackets deferred;             // guarded by lock
        // Guarded by lock: pictures decoded ahead, oldest first, each with its frame and,
        // when converted already, its picture for the area.
        struct Kept {
            KeptFrame frame;
            std::shared_ptr<Picture> picture;
            int64_t timeUs = kNoTimeUs;
        };
        std::deque<Kept> kept;
        // Guarded by lock: the frame ShowKept presented last, while it is the one on screen;
        // empty once the newest picture is presented another way.
        KeptFrame shown;
    };

    Channel& At(int channel);
    // Runs work(channel) under the channel's lock and returns what it returns; `outside`, and
    // nothing run, for a channel outside 0…5. On the caller's thread.
    template <typename Result, typename Work>
    Result Locked(int channel, Result outside, Work&& work);
    template <typename Result, typename Work>
    Result Locked(int channel, Result outside, Work&& work) const;
    template <typename Work> void Locked(int channel, Work&& work);
    static bool CanShowAt(AreaSize size);
    bool DecodeLocked(Channel& channel, const uint8_t* bytes, int32_t length, int64_t timeUs);
    // Decodes the packets kept undecoded, oldest first (under the channel's lock).
    void CatchUpLocked(Channel& channel);
    // Decodes the oldest packet kept.
    void DecodeOldestLocked(Channel& channel);
    // Converts when the decoder holds a newer picture or the area's shape changed, then
    // presents. Under the channel's lock; false when there is nothing to present.
    bool PresentLocked(Channel& channel, VPictureArea* area, AreaSize size, bool fresh);
    // The conversion half of PresentLocked: true when the channel has a picture of the area's
    // shape to present.
    bool ConvertLocked(Channel& channel, VPictureArea* area, AreaSize size, bool fresh);
    // The decoder's newest picture converted into a picture of the pool at the area's shape,
    // flipped; null when it cannot be converted.
    std::shared_ptr<Picture> ConvertNewestLocked(Channel& channel, AreaSize size, int32_t channels);
    // Drops the kept pictures; the one ShowKept presented last becomes the newest again.
    void DropAllKeptLocked(Channel& channel);
    static int32_t ChannelsOf(const VPictureArea* area);

    std::shared_ptr<HwDeviceProvider> m_hwDevices; // before m_channels: they use it to the end
    std::array<Channel, kChannels> m_channels;
};
