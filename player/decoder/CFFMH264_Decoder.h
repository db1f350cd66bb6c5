#pragma once

#include "CPictureConverter.h"
#include "HwDecodePath.h"
#include "KeptFrame.h"
#include "player/api/MediaPacket.h"
#include "player/api/Picture.h"
#include "player/api/VideoCodec.h"

#include <cstdint>
#include <mutex>

struct AVCodec;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
class HwDeviceProvider;

// One H.264 (or H.265) decoder (libavcodec, one thread) with its conversion to BGR.
//
// Decode takes one access unit and keeps the newest picture it yields; that picture stays
// available for ConvertTo and CopyNative until a later packet yields a newer one or the
// decoder is closed. A damaged packet yields nothing and leaves the decoder ready for the
// next one (from the next key frame on, pictures are whole again).
//
// With a hardware device (Open's provider) the pictures are decoded on it and brought back to
// memory for the converters; a picture the device fails on is decoded again in software, and
// software decodes from then on (HwDecodePath).
//
// Brightness and contrast apply to every conversion, whichever converter does it.
//
// Owns the codec context, the frames and the three converters. The packet bytes belong to the
// caller and are copied by libavcodec.
//
// Threads: every member may be called from any thread; one internal lock serialises them.
// In the player, Decode and ConvertTo run on the engine's worker thread, SetBrightness,
// SetContrast, CopyNative and ConvertRegion on the window thread.
class CFFMH264_Decoder {
public:
    CFFMH264_Decoder();
    virtual ~CFFMH264_Decoder();
    CFFMH264_Decoder(const CFFMH264_Decoder&) = delete;
    CFFMH264_Decoder& operator=(const CFFMH264_Decoder&) = delete;

    // Opens a fresh decoder of the coding (H.264 unless told), closing any previous one, on
    // the provider's device when it has one that takes the coding (the provider must outlive
    // the decoder's next Open or Close; null: software). False when libavcodec has no such
    // decoder or cannot open it.
    bool Open(VideoCodec codec = VideoCodec::kH264, HwDeviceProvider* hardware = nullptr);
    // Whether pictures are decoded on a hardware device now.
    bool OnHardware() const;
    // Packet bytes kept to decode a failed picture again (HwDecodePath::kDefaultReplayLimit).
    void SetHwReplayLimit(size_t bytes);
    // Releases the decoder, its last picture and the converters. Safe to call twice.
    void Close();

    // FFmpeg's own messages ("no frame!" for a damaged packet) go to standard error; they are
    // for diagnosis only. Process-wide; call before decoding starts.
    static void SetLibraryMessages(bool shown);

    // Decodes one access unit (Annex B) with its presentation time in microseconds (kNoTimeUs:
    // none). True when it produced a new picture. Empty packets are ignored (they would
    // otherwise end the stream for libavcodec).
    bool Decode(const uint8_t* bytes, int32_t length, int64_t timeUs = kNoTimeUs);
    // The newest picture's presentation time, as its packet gave it; kNoTimeUs when none.
    int64_t PictureTimeUs() const;
    // The end of the stream: takes out the next picture held back for reordering. True when
    // there was one; false when none is left (the decoder is then ready for a new stream).
    bool DrainOne();
    // Drops the pictures held back; the last picture stays.
    void Flush();
    // A reference to the newest picture (its pixels shared, not copied), for RestorePicture;
    // empty when there is none.
    KeptFrame KeepPicture() const;
    // Makes a kept picture the newest one again, for everything that reads the newest picture
    // (PictureTimeUs, GetPictureSize, ConvertTo, CopyNative, ConvertRegion); decoding goes on
    // as before, and its next picture replaces it. Nothing for an empty one.
    void RestorePicture(const KeptFrame& kept);

    // What decoding leaves out from the next packet on (libavcodec's skip_loop_filter, and
    // skip_frame for pictures no other refers to); kept across Open. Off at construction.
    void SetDecodeCost(bool skipLoopFilter, bool skipNonReference);

    // Size in pixels of the last decoded picture; 0 × 0 before the first one.
    void GetPictureSize(int32_t& width, int32_t& height) const;

    // Scales the last decoded picture to width × height BGR pixels of `channels` bytes (3, or
    // 4 with a fourth byte of 255), rows `stride` bytes apart, with the converter kept for the
    // shown size. False, destination untouched, when there is no picture yet or the arguments
    // do not describe such a destination.
    bool ConvertTo(uint8_t* pixels, int32_t stride, int32_t width, int32_t height,
                   int32_t channels = 3);

    // Converts the last decoded picture at its own size into `out` (reallocated as needed),
    // with a converter of its own so the shown-size converter is left as it is. False, `out`
    // untouched, when there is no picture yet.
    bool CopyNative(Picture& out);

    // Converts a region of the last decoded picture, at the picture's own resolution, into
    // `out` (reallocated as needed): BGR of `channels` bytes per pixel (3, or 4 with a fourth
    // byte of 255), with the brightness and contrast, through a converter of its own; only
    // the region is converted. The region is width × height pixels centred on the point
    // (x, y) of a fromWidth × fromHeight copy of the picture (the shown picture; the point is
    // scaled by the decoded size over that size). It is moved to lie inside the picture, is
    // smaller where the picture is, and its top-left corner lies on the colour samples' grid
    // (even pixels for 4:2:0), so it may sit one pixel left of and above the exact centre.
    // False, `out` untouched, when there is no picture yet or an argument is out of range.
    bool ConvertRegion(int32_t x, int32_t y, int32_t fromWidth, int32_t fromHeight, int32_t width,
                       int32_t height, int32_t channels, Picture& out);

    // Brightness added to every pixel's luma, 1.0 = the full 8-bit scale (256 levels);
    // 0.0 at construction. Not-a-number is ignored.
    void SetBrightness(float brightness);
    // Contrast factor on luma; 1.0 at construction. Not-a-number is ignored.
    void SetContrast(float contrast);
    float Brightness() const;
    float Contrast() const;

private:
    void CloseLocked();
    void ApplyCostLocked();
    bool DrainLocked();
    // Moves a received picture into m_picture (through the device when decoding on one).
    bool TakeLocked();
    // The device failed: software takes over (HwDecodePath::HandOver). True when that yielded
    // a new picture.
    bool HandOverLocked();
    int FixedBrightness() const;
    int FixedContrast() const;

    mutable std::mutex m_lock;
    const AVCodec* m_codec = nullptr;    // the open context's decoder
    AVCodecContext* m_context = nullptr; // owned
    AVPacket* m_packet = nullptr;        // owned; points at the caller's bytes during Decode
    AVFrame* m_received = nullptr;       // owned; receives each picture
    AVFrame* m_picture = nullptr;        // owned; the newest picture (may be empty)
    AVFrame* m_region = nullptr;         // owned; during ConvertRegion a view into m_picture
    CPictureConverter m_shownConverter;
    CPictureConverter m_nativeConverter;
    CPictureConverter m_regionConverter;
    float m_brightness = 0.0f;
    float m_contrast = 1.0f;
    void FlushLocked();
    bool m_draining = false; // the end was sent: no packet is taken until a flush
    HwDecodePath m_hw;
    bool m_skipLoopFilter = false;
    bool m_skipNonReference = false;
};
