#include "CQTRMediaPlayer.h"

#include <algorithm>
#include <chrono>
#include <optional>

bool CQTRMediaPlayer::ReachTarget() {
    if (m_decoder == nullptr)
        return false;
    const int64_t picture = PictureTime(0, m_play.targetUs);
    // The first picture at the target, or within half a period before it (the picture on
    // screen at that time); a scrub takes the key frame itself.
    if (!m_play.keyFrameOnly && picture < m_play.targetUs - PeriodUs() / 2)
        return false;
    if (m_decoder->Show(0, m_areas[0]))
        m_presented[0].fetch_add(1, std::memory_order_acq_rel);
    MarkShown(picture);
    m_play.targetUs = -1;
    for (int c = 1; c < CameraCount(); ++c)
        m_play.cameras[static_cast<size_t>(c)].presentNow = true;
    m_play.lastFrontSkipped = false;
    m_play.lastPresentedUs = picture;
    HoldSound(false);
    return true;
}

void CQTRMediaPlayer::FinishTargetAtEnd() {
    if (m_play.targetUs < 0)
        return;
    // The pictures the decoder still holds back may reach the target; else the last picture
    // of the recording stands for it.
    if (m_decoder != nullptr) {
        while (m_decoder->DecodeEnd(0))
            if (ReachTarget())
                return;
        const int64_t last = m_decoder->PictureTimeUs(0);
        if (last != kNoTimeUs) {
            if (m_decoder->Show(0, m_areas[0]))
                m_presented[0].fetch_add(1, std::memory_order_acq_rel);
            MarkShown(last);
        }
    }
    m_play.targetUs = -1;
    for (CameraPlay& camera : m_play.cameras)
        camera.presentNow = false;
}

bool CQTRMediaPlayer::WaitUntilDue(int64_t timeUs, bool& skip) {
    using Clock = std::chrono::steady_clock;
    skip = false;
    const bool pacing = m_pacing.load(std::memory_order_relaxed);
    // The sound read with this picture must be about to play: wait until the sound queued
    // ahead is short enough (CMediaSync::WaitForAudio). (The first picture of a start does not
    // wait: its sound follows it.)
    if (!m_soundHeld)
        m_sync.WaitForAudio([this] { return KeepWaiting(); });
    if (!pacing || !KeepWaiting())
        return KeepWaiting();
    const int32_t speed = m_sync.SpeedPercent();
    const std::chrono::microseconds period(PeriodUs() * 100 / speed);
    // The schedule without sound follows the pictures' own times (variable rates play at
    // their pace); the nominal period stands in where the times say nothing.
    int64_t intervalUs = PeriodUs();
    if (m_play.lastPresentedUs != kNoTimeUs && timeUs > m_play.lastPresentedUs &&
        timeUs - m_play.lastPresentedUs < 1000000)
        intervalUs = timeUs - m_play.lastPresentedUs;
    const std::chrono::microseconds interval(intervalUs * 100 / speed);
    const Clock::time_point now = Clock::now();
    std::optional<Clock::time_point> soundDue;
    int64_t heardUs = 0;
    const bool firstOfPosition = m_soundHeld; // its moment is when it comes: never late
    if (m_soundHeld && m_openStart) {
        // The first picture of a recording: due when its sound begins to be heard.
        m_openStart = false;
        HoldSound(false);
        soundDue = SoundStartDue(timeUs, speed);
        if (!KeepWaiting())
            return false;
    } else if (m_soundHeld) {
        soundDue = now; // a reposition: due now, and the schedule goes on from here
    } else if (m_sync.HeardUs(now, heardUs)) {
        // Due when its time is heard; never held longer than a few periods.
        const int64_t ahead = (timeUs - heardUs) * 100 / speed;
        const std::chrono::microseconds limit =
            std::max<std::chrono::microseconds>(4 * period, std::chrono::milliseconds(200));
        soundDue =
            now + std::min<std::chrono::microseconds>(std::chrono::microseconds(ahead), limit);
    }
    const Clock::time_point due = m_pacer.Plan(0, now, interval, soundDue);
    if (due > now)
        SleepUntil(due);
    if (!KeepWaiting())
        return false;
    const Clock::time_point shown = Clock::now();
    m_pacer.Passed(shown);
    const auto late = shown - due;
    TrackBehind(firstOfPosition || due > now, shown, timeUs, speed, period);
    if (late > std::max<Clock::duration>(2 * period, std::chrono::milliseconds(kSkipLateMs))) {
        skip = true;
        m_skipped.fetch_add(1, std::memory_order_acq_rel);
    } else if (late > period) {
        m_late.fetch_add(1, std::memory_order_acq_rel);
    } else {
        m_onTime.fetch_add(1, std::memory_order_acq_rel);
    }
    return true;
}

std::optional<std::chrono::steady_clock::time_point> CQTRMediaPlayer::SoundStartDue(int64_t timeUs,
                                                                                    int32_t speed) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::milliseconds(kSoundStartWaitMs);
    while (KeepWaiting()) {
        const Clock::time_point now = Clock::now();
        int64_t heardUs = 0;
        if (m_sync.HeardUs(now, heardUs)) {
            const int64_t ahead = (timeUs - heardUs) * 100 / speed;
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
            return now +
                   std::clamp(std::chrono::microseconds(ahead), std::chrono::microseconds(0), left);
        }
        // No sound to wait for: none queued a moment after it was let go (none read, or an
        // output that plays it at once), or the output does not begin.
        if (now >= deadline ||
            (m_sync.QueuedBlocks() == 0 && now - start > std::chrono::milliseconds(50)))
            return std::nullopt;
        SleepUntil(now + std::chrono::milliseconds(2));
    }
    return std::nullopt;
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::ShowHeldBack() {
    // The data has ended and the delay line is empty: the decoder still holds the last
    // pictures back for reordering (a stream with B-frames). Each is shown at its moment,
    // after the pictures kept before them.
    if (m_decoder == nullptr)
        return LoopResult::kEnd;
    const std::chrono::steady_clock::time_point began = std::chrono::steady_clock::now();
    if (!m_decoder->DecodeEnd(0))
        return m_decoder->KeptCount(0) > 0 ? PresentKeptFronts() : LoopResult::kEnd;
    return KeepFront(began);
}

CQTRMediaPlayer::LoopResult
CQTRMediaPlayer::KeepFront(std::chrono::steady_clock::time_point decodeBegan) {
    const int64_t last =
        m_play.lastKeptUs != kNoTimeUs ? m_play.lastKeptUs : m_play.lastPresentedUs;
    const int64_t picture = PictureTime(0, last == kNoTimeUs ? CurrentUs() : last + PeriodUs());
    if (m_decoder->KeptCount(0) == 0)
        m_play.burstBegan = decodeBegan;
    // Converted now, just decoded, rather than after the wait for its moment has let other
    // work take the caches; not while the front is behind, when it may yet be skipped.
    if (m_decoder->Keep(0, m_areas[0], picture, m_play.behind == 0))
        m_play.lastKeptUs = picture;
    // The burst's time so far covers each kept picture's decoding and conversion (and the
    // other cameras' pictures between them).
    m_play.bursting = BurstGoesOn(std::chrono::steady_clock::now());
    return m_play.bursting ? LoopResult::kLoop : PresentKeptFronts();
}

bool CQTRMediaPlayer::BurstGoesOn(std::chrono::steady_clock::time_point now) const {
    // Only while everything is on time: a picture that is due at once, or may be skipped,
    // is not held up by the decoding of those after it.
    if (!m_pacing.load(std::memory_order_relaxed) || m_play.behind != 0 || m_soundHeld ||
        m_play.targetUs >= 0 || m_fifo.Empty() || !KeepWaiting())
        return false;
    const size_t kept = m_decoder->KeptCount(0);
    if (kept == 0 || kept >= m_decodeAhead.load(std::memory_order_relaxed))
        return false;
    // One more picture takes about as long as each so far: the burst stays within half a
    // period at the playing speed, so that the first of its pictures is still shown on time.
    const auto spent = now - m_play.burstBegan;
    const std::chrono::microseconds budget(PeriodUs() * 100 / m_sync.SpeedPercent() / 2);
    return spent + spent / static_cast<int64_t>(kept) <= budget;
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::PresentKeptFronts() {
    m_play.bursting = false;
    while (m_decoder != nullptr && m_decoder->KeptCount(0) > 0) {
        const int64_t picture = m_decoder->KeptTimeUs(0, 0);
        bool skip = false;
        if (!WaitUntilDue(picture, skip)) {
            DropAllKept(); // a request or a pause came first: these pictures are dropped
            return LoopResult::kReturn;
        }
        m_play.lastFrontSkipped = skip;
        m_play.lastPresentedUs = picture;
        m_positionUs.store(std::max<int64_t>(picture, 0), std::memory_order_release);
        if (skip) {
            m_decoder->DropKept(0);
        } else {
            if (m_decoder->ShowKept(0, m_areas[0]))
                m_presented[0].fetch_add(1, std::memory_order_acq_rel);
            MarkShown(picture);
            PresentDueCameras(picture);
        }
        if (m_soundHeld)
            HoldSound(false);
    }
    m_play.lastKeptUs = kNoTimeUs;
    return LoopResult::kLoop;
}

void CQTRMediaPlayer::DropAllKept() {
    m_play.bursting = false;
    m_play.lastKeptUs = kNoTimeUs;
    if (m_decoder == nullptr)
        return;
    for (int channel = 0; channel < kMaxCameras; ++channel)
        m_decoder->DropAllKept(channel);
}

void CQTRMediaPlayer::DropKeptCamera(int channel) {
    while (m_decoder->DropKept(channel))
        CountDropped(channel);
}

bool CQTRMediaPlayer::RearIsDue(int64_t rearUs, int64_t frontUs) const {
    return rearUs <= frontUs + PeriodUs() / 2;
}

void CQTRMediaPlayer::PresentDueCameras(int64_t frontUs) {
    for (int c = 1; c < kMaxCameras; ++c) {
        size_t due = 0;
        while (due < m_decoder->KeptCount(c) && RearIsDue(m_decoder->KeptTimeUs(c, due), frontUs))
            ++due;
        if (due == 0)
            continue;
        // Only the newest of them goes with this front picture.
        for (size_t older = 1; older < due; ++older)
            if (m_decoder->DropKept(c))
                CountDropped(c);
        if (m_decoder->ShowKept(c, m_areas[static_cast<size_t>(c)]))
            m_presented[static_cast<size_t>(c)].fetch_add(1, std::memory_order_acq_rel);
    }
}

bool CQTRMediaPlayer::ShowCamera(int channel) {
    if (m_decoder == nullptr || !m_decoder->Show(channel, m_areas[static_cast<size_t>(channel)]))
        return false;
    m_presented[static_cast<size_t>(channel)].fetch_add(1, std::memory_order_acq_rel);
    return true;
}

bool CQTRMediaPlayer::CameraHidden(int channel) const {
    const VPictureArea* area = m_areas[static_cast<size_t>(channel)];
    if (area == nullptr)
        return false;
    const AreaSize size = area->Size();
    return size.width <= 0 || size.height <= 0;
}

bool CQTRMediaPlayer::DecodeOrDefer(int channel, const uint8_t* bytes, int32_t size, int64_t timeUs,
                                    bool key) {
    if (CameraHidden(channel)) {
        // Nobody sees it: its packets wait in the decoder, which decodes them (from the last
        // key frame on) once the camera is seen again or snapshotted.
        m_decoder->Defer(channel, bytes, size, timeUs, key);
        return false;
    }
    return m_decoder->Decode(channel, bytes, size, timeUs);
}

void CQTRMediaPlayer::CountDropped(int channel) {
    m_dropped[static_cast<size_t>(channel)].fetch_add(1, std::memory_order_acq_rel);
}

void CQTRMediaPlayer::PresentCamera(int channel) {
    const int64_t picture = PictureTime(channel, ShownUs());
    // With no front picture kept ahead, a camera's picture goes with the front picture on
    // screen: not shown when that one was not, shown now when that one reaches it (the
    // pictures it kept before are overtaken). Before the position's first front picture it
    // waits for that one.
    if (m_decoder->KeptCount(0) == 0 && m_play.lastPresentedUs != kNoTimeUs) {
        if (m_play.lastFrontSkipped) {
            DropKeptCamera(channel);
            CountDropped(channel);
            return;
        }
        if (RearIsDue(picture, std::max<int64_t>(ShownUs(), 0))) {
            DropKeptCamera(channel);
            ShowCamera(channel);
            return;
        }
    }
    // Ahead of the front picture on screen: kept until a front picture reaches it.
    m_decoder->Keep(channel, m_areas[static_cast<size_t>(channel)], picture, m_play.behind == 0);
    while (m_decoder->KeptCount(channel) > kMaxKeptPerCamera && m_decoder->DropKept(channel))
        CountDropped(channel);
}

void CQTRMediaPlayer::TrackBehind(bool onSchedule, std::chrono::steady_clock::time_point shown,
                                  int64_t timeUs, int32_t speed, std::chrono::microseconds period) {
    // The pacer starts its schedule again from a picture that came late, so its lateness does
    // not add up while the worker cannot keep up. The lag does: how much later than the pace
    // since the last picture that waited for its moment (or began a position) this one came.
    if (onSchedule || speed != m_play.anchorSpeed) {
        m_play.anchorWall = shown;
        m_play.anchorUs = timeUs;
        m_play.anchorSpeed = speed;
        m_play.lateRun = 0;
        m_play.behind = 0;
        return;
    }
    const auto paced = std::chrono::microseconds((timeUs - m_play.anchorUs) * 100 / speed);
    const auto lag = shown - (m_play.anchorWall + paced);
    // A period behind; more than two periods five pictures in a row (a moment's hold-up of
    // the machine is no reason to leave out whole seconds).
    if (lag <= period) {
        m_play.lateRun = 0;
        m_play.behind = 0;
        return;
    }
    m_play.lateRun = lag > 2 * period ? m_play.lateRun + 1 : 0;
    m_play.behind = m_play.lateRun >= 5 ? 2 : 1;
}

int CQTRMediaPlayer::CameraCount() const {
    return std::clamp(m_videoChannels.load(std::memory_order_acquire), 2, kMaxCameras);
}

DecodeCost CQTRMediaPlayer::CostOf(int channel) const {
    DecodeCost cost;
    // Two cameras play whole, as they always have; of more, the front (the clock of them
    // all) and the main camera.
    if (!m_reducedCost.load(std::memory_order_relaxed) || CameraCount() <= 2 ||
        channel == m_mainCamera.load(std::memory_order_relaxed))
        return cost;
    cost.skipLoopFilter = true;
    // Behind by half a period: the pictures nothing refers to go first.
    cost.skipNonReference = m_play.behind >= 1;
    return cost;
}

void CQTRMediaPlayer::ApplyCost(int channel, DecodeCost cost) {
    DecodeCost& told = m_costs[static_cast<size_t>(channel)];
    if (told == cost)
        return;
    told = cost;
    m_decoder->SetDecodeCost(channel, cost);
}

void CQTRMediaPlayer::DecodeCamera(int channel, int32_t size, int64_t timeUs, bool key) {
    CameraPlay& camera = m_play.cameras[static_cast<size_t>(channel)];
    const DecodeCost cost = CostOf(channel);
    const bool shedding = cost.skipLoopFilter; // a camera that may shed pictures at all
    if (camera.dropToKey) {
        if (!key) {
            CountDropped(channel);
            return;
        }
        // Its decoding starts again at this key frame: nothing it refers to was left out.
        m_decoder->Flush(channel);
        camera.dropToKey = false;
    } else if (shedding && !key && m_play.behind >= 2) {
        // Behind by more than a period: the camera leaves everything out until its next key
        // frame, so that the front catches up.
        camera.dropToKey = true;
        DropKeptCamera(channel);
        CountDropped(channel);
        return;
    }
    if (CameraHidden(channel)) {
        // The pictures it kept for their front pictures are not seen either.
        m_decoder->DropAllKept(channel);
        DecodeOrDefer(channel, m_frameBuffer.data(), size, timeUs, key);
        return;
    }
    ApplyCost(channel, cost);
    if (!m_decoder->Decode(channel, m_frameBuffer.data(), size, timeUs)) {
        // Left out by the decoder (or held back for reordering, at a stream's start).
        if (cost.skipNonReference)
            CountDropped(channel);
        return;
    }
    PresentCamera(channel);
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::ShowOldest() {
    int32_t size = 0;
    int64_t timeUs = 0;
    PacketFifo::Kind kind = PacketFifo::kFront;
    bool key = false;
    if (!m_fifo.PopOldest(m_frameBuffer.data(), m_frameBuffer.size(), size, kind, timeUs, &key))
        return ShowHeldBack();
    if (m_decoder == nullptr)
        return LoopResult::kLoop;
    const int channel = std::clamp<int>(kind, 0, kMaxCameras - 1);
    if (channel != 0) {
        DecodeCamera(channel, size, timeUs, key);
        return LoopResult::kLoop;
    }
    // Decoded ahead of its moment, so that only the conversion lies between the moment and
    // the picture. A packet the decoder holds back for reordering yields no picture yet.
    const std::chrono::steady_clock::time_point began = std::chrono::steady_clock::now();
    if (!m_decoder->Decode(channel, m_frameBuffer.data(), size, timeUs))
        return LoopResult::kLoop;
    return KeepFront(began);
}

CQTRMediaPlayer::CameraStats CQTRMediaPlayer::CameraStatsOf(int channel) const {
    if (channel < 0 || channel >= kMaxCameras)
        return {};
    const auto at = static_cast<size_t>(channel);
    // The front's pictures left out are those the pacer skipped.
    return {m_presented[at].load(std::memory_order_acquire),
            channel == 0 ? m_skipped.load(std::memory_order_acquire)
                         : m_dropped[at].load(std::memory_order_acquire)};
}
