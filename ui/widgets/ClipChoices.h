#pragma once

#include "ClipLine.h"
#include "clips/ClipRequest.h"
#include "telemetry/SpeedUnit.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class VRecordingSource;

// What the clip export dialog offers and what the user chose: the clip's ends (fixed when the
// dialog opens), the layout of the cameras, the overlay, re-encoding with its CRF and preset
// or a lossless copy, the sound and the target file; whether that can be exported, and the
// texts the dialog and the end of the export show, in the user's language. The dialog is a
// thin view of this; the clip export request is made from it.
//
// Plain values; the window's thread.
class ClipChoices {
public:
    // cameras: video channels of what plays (1: only the front layout is offered).
    ClipChoices(ClipEnds ends, int cameras, uint16_t languageId);

    const ClipEnds& Ends() const { return m_ends; }
    int Cameras() const { return m_cameras; }
    uint16_t Language() const { return m_language; }

    // The layouts offered: the front alone for one camera, else front, picture-in-picture, side
    // by side and grid. The default is picture-in-picture with two cameras or more.
    std::vector<clips::Layout> Layouts() const;
    // False (nothing changes) for a layout not offered.
    bool SetLayout(clips::Layout layout);
    clips::Layout Layout() const { return m_layout; }
    void SetOverlay(bool on) { m_overlay = on; }
    // The overlay as chosen (on by default); a lossless copy has none whatever it says.
    bool Overlay() const { return m_overlay; }
    void SetLossless(bool on) { m_lossless = on; }
    bool Lossless() const { return m_lossless; }
    void SetCrf(int crf) { m_crf = crf; }
    int Crf() const { return m_crf; }
    void SetPreset(std::string preset) { m_preset = std::move(preset); }
    const std::string& Preset() const { return m_preset; }
    void SetSound(bool on) { m_sound = on; }
    bool Sound() const { return m_sound; }
    void SetTarget(std::string path) { m_target = std::move(path); }
    const std::string& Target() const { return m_target; }

    // Which choices apply: a lossless copy has no layout (one file per camera), no overlay, no
    // CRF and no preset; a single camera has no layout to choose.
    bool LayoutEnabled() const { return !m_lossless && m_cameras > 1; }
    bool OverlayEnabled() const { return !m_lossless; }
    bool QualityEnabled() const { return !m_lossless; }

    // The first reason the clip cannot be exported as chosen, in the user's language; empty
    // when it can: a span without length, no target, a target not ending in ".mp4" or in a
    // folder that does not exist, a CRF outside clips::kMinCrf..kMaxCrf, a preset that is not
    // one of clips::Presets().
    std::string Error() const;
    // The lossless copy's notice (the start snaps to the key frame before the mark, no
    // overlay, one file per camera, the copy exact); empty while re-encoding.
    std::string Notice() const;
    // "09:00:01 – 09:00:11 (length 00:10)" and, on a second line, the recordings it spans.
    std::string SpanText() const;
    // The files of the export that exist already (the clip, the other cameras' files of a
    // lossless copy, the evidence record); the dialog asks before they are replaced.
    std::vector<std::string> ExistingOutputs() const;

    // The request of these choices. source: the recordings' source, shared with the window;
    // gapMs: the drives' gap setting. The report's language follows the user's language.
    clips::ClipRequest Request(std::shared_ptr<VRecordingSource> source, SpeedUnit units,
                               int64_t gapMs) const;

    // "<recording>_<HHMMSS>-<HHMMSS>.mp4" of the clip's first recording and its wall-clock
    // start and end (00:00:00 for an unknown time).
    static std::string DefaultName(const ClipEnds& ends);
    // The folder a new clip goes to: the last export's folder while it is a folder, else the
    // Videos folder when there is one, else home.
    static std::string DefaultFolder(const std::string& last, const std::string& videos,
                                     const std::string& home);

    // The progress window's line: "120 of 900 frames, 00:12 left" (the time left out while it
    // is not known).
    static std::string ProgressText(const clips::ClipProgress& progress, uint16_t languageId);
    // The one message at the end: the clip's file and its evidence record (manifest and
    // report), or the failure with its reason, or that it was cancelled.
    static std::string OutcomeText(const clips::ClipResult& result, uint16_t languageId);

private:
    ClipEnds m_ends;
    int m_cameras;
    uint16_t m_language;
    clips::Layout m_layout;
    bool m_overlay = true;
    bool m_lossless = false;
    int m_crf = clips::kDefaultCrf;
    std::string m_preset = clips::kDefaultPreset;
    bool m_sound = true;
    std::string m_target;
};
