#pragma once
#include "MediaPacket.h"
#include "VPictureArea.h"
#include "VideoCodec.h"
#include <cstddef>
#include <cstdint>
#include <string>

// What a channel's decoding may leave out to save time: the deblocking filter (hardly seen in
// a picture shown small), and the pictures no other picture refers to (they can go without
// harm to the pictures after them).
struct DecodeCost {
    bool skipLoopFilter = false;
    bool skipNonReference = false;
    bool operator==(const DecodeCost&) const = default;
};

// Decodes the packets of the video channels (0 front, 1 rear, 2 … further cameras) and shows
// the pictures.
//
// Threads: DecodeAndShow, Decode and Show run on the engine's worker thread; SaveSnapshot,
// SetBrightness, SetContrast and SetFlipMode on the owner's (window) thread, possibly at the same
// time.
class VMediaDecoder {
public:
    virtual ~VMediaDecoder() = default;
    virtual bool Open() = 0;
    virtual void Close() = 0;
    // Decodes one packet of the channel (0 or 1) and presents the picture in the area at the
    // area's size. True when it presented a picture; false when it refused (bad channel,
    // zero-sized area) or presented nothing.
    virtual bool DecodeAndShow(int channel, VPictureArea* area, const uint8_t* bytes,
                               int32_t length) = 0;
    // Decodes one packet of the channel without presenting it. timeUs: the packet's
    // presentation time (kNoTimeUs when unknown); it travels with the packet through the
    // decoder's reordering and comes out as the time of the picture it yields. True when it
    // yielded a picture; Show presents the newest one.
    virtual bool Decode(int channel, const uint8_t* bytes, int32_t length, int64_t timeUs) = 0;
    // A packet of a channel whose pictures nobody sees now (its area hidden): a decoder may
    // keep it undecoded and decode what it kept before the channel's picture is next needed
    // (Decode, Show, DecodeEnd, a snapshot); Flush drops what it kept. key: the packet starts a
    // picture that needs no earlier one, as the demuxer marked it. By default it is decoded at
    // once.
    virtual void Defer(int channel, const uint8_t* bytes, int32_t length, int64_t timeUs,
                       bool /*key*/) {
        Decode(channel, bytes, length, timeUs);
    }
    // The presentation time of the channel's newest decoded picture, as its packet gave it;
    // kNoTimeUs when none, or when its packet had none.
    virtual int64_t PictureTimeUs(int /*channel*/) const { return kNoTimeUs; }
    // Presents the channel's newest decoded picture in the area at the area's size (a picture
    // decoded ahead of the moment it is due). False when there is none or the area cannot
    // show it.
    virtual bool Show(int channel, VPictureArea* area) = 0;
    // Converts the channel's newest decoded picture for the area ahead of its Show, while its
    // pixels are still in the processor's caches; Show then only hands it over (unless the
    // area changed size in between). Nothing for an area that cannot show it. Engine's worker
    // thread. By default nothing: Show converts.
    virtual void Prepare(int /*channel*/, VPictureArea* /*area*/) {}
    // Pictures decoded ahead of their moments, several at a time while the processor's caches
    // hold the decoder's state, and shown later one by one: each channel keeps them in the
    // order kept. All on the engine's worker thread.
    //
    // Keeps the channel's newest decoded picture behind those kept before, with its time
    // (µs), converted for the area now when `convert` (else at its ShowKept). False when the
    // channel has no picture.
    virtual bool Keep(int channel, VPictureArea* area, int64_t timeUs, bool convert) = 0;
    // How many pictures the channel keeps, and the time of the one at `index` (0: the oldest;
    // kNoTimeUs beyond the last).
    virtual size_t KeptCount(int channel) const = 0;
    virtual int64_t KeptTimeUs(int channel, size_t index) const = 0;
    // Takes the oldest kept picture and presents it in the area (converted again when the
    // area's shape changed). From then on it is the channel's picture for Show, snapshots and
    // cut-outs. False when none was kept or the area cannot show it.
    virtual bool ShowKept(int channel, VPictureArea* area) = 0;
    // Takes the oldest kept picture without showing it; false when none was kept.
    virtual bool DropKept(int channel) = 0;
    // Drops every kept picture; the picture last presented by ShowKept is the channel's
    // picture again, so that a snapshot saves what is on screen.
    virtual void DropAllKept(int channel) = 0;
    // The end of the channel's packets: yields the next picture the decoder still holds back
    // for reordering (one a call). True when it yielded one; false when none is left, and the
    // next Decode starts afresh. On the engine's worker thread.
    virtual bool DecodeEnd(int /*channel*/) { return false; }
    // Drops the pictures held back for reordering (a reposition): the next pictures come from
    // the packets that follow. The last picture stays for Show and snapshots.
    virtual void Flush(int /*channel*/) {}
    // contrast = level / 10 + 1, limited to 0.01 … 2.0.
    virtual void SetContrast(int channel, int level) = 0;
    // brightness = level / 10.
    virtual void SetBrightness(int channel, int level) = 0;
    // Writes the channel's last decoded picture, at its native size, as a JPEG file.
    virtual bool SaveSnapshot(int channel, const std::string& path) = 0;
    // 0 none, 1 upside down, 2 both axes, 3 mirrored left-right; other values: none.
    virtual void SetFlipMode(int channel, int mode) = 0;
    // The coding of the channel's next packets; a decoder that changes coding starts afresh
    // (the next picture comes from the next key frame). False when it cannot decode that
    // coding. On the engine's worker thread, or while the engine holds its lock.
    virtual bool SetVideoCodec(int /*channel*/, VideoCodec codec) {
        return codec == VideoCodec::kH264;
    }
    // What the channel's decoding leaves out from its next packet on; kept across Open and
    // codec changes. Engine's worker thread.
    virtual void SetDecodeCost(int /*channel*/, DecodeCost /*cost*/) {}
};
