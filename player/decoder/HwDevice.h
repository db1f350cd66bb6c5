#pragma once

#include "HwDecode.h"

#include <memory>

struct AVCodecContext;
struct AVFrame;

// One hardware decoding device that decoders share (a VAAPI display or a CUDA context), as the
// decoder meets it: it prepares a codec context to decode on the device, and brings each
// decoded picture back into memory for the converter (NV12 for 8-bit video, P010 for 10-bit).
//
// FFmpegHwDevice is the device FFmpeg opens; tests put in devices of their own that fail when
// told, so that the decoder's way back to software can be checked on machines without one.
//
// Owned through shared pointers by HwDeviceProvider and the decoders that decode on it; a
// codec context prepared by Attach must be freed before the device.
//
// Threads: Attach and Download are called by a decoder under its own lock; decoders of several
// channels may call at once, so implementations keep no state between calls that is not
// locked or atomic.
class HwDevice {
public:
    virtual ~HwDevice() = default;

    virtual HwDeviceKind Kind() const = 0;
    // Prepares `context` (allocated for its codec, not yet opened) to decode on the device.
    // False when the codec cannot decode on it; the context is then left as it was.
    virtual bool Attach(AVCodecContext* context) = 0;
    // Brings `decoded` (a picture the attached context yielded) into memory as `out` (emptied
    // first), with its time and the other properties of the picture. A picture the codec
    // decoded in memory after all (the device refused its profile) is taken over as it is.
    // False when the device cannot deliver it; `out` is then empty.
    virtual bool Download(AVFrame* decoded, AVFrame* out) = 0;
};
