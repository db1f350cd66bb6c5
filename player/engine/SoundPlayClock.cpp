#include "SoundPlayClock.h"

#include <algorithm>
#include <cmath>

void SoundPlayClock::Written(int64_t streamUs, int64_t recordingUs, double factor) {
    if (streamUs <= 0)
        return;
    m_pieces.push_back({m_written, m_written + streamUs, recordingUs, factor});
    m_written += streamUs;
}

void SoundPlayClock::Anchor(Clock::time_point now, int64_t queuedUs) {
    // More queued than written: the output plays sound of its own first (what a sink had
    // rendered ahead before the stream began), and the stream's start is still to come.
    m_anchorStream = m_written - std::max<int64_t>(queuedUs, 0);
    m_anchorTime = now;
    m_anchored = true;
    while (!m_pieces.empty() && m_pieces.front().streamEnd <= m_anchorStream)
        m_pieces.pop_front();
}

int64_t SoundPlayClock::HeardStreamAt(Clock::time_point now) const {
    const auto since =
        std::chrono::duration_cast<std::chrono::microseconds>(now - m_anchorTime).count();
    return std::min(m_anchorStream + std::max<int64_t>(since, 0), m_written);
}

bool SoundPlayClock::HeardAt(Clock::time_point now, int64_t& recordingUs) const {
    if (!m_anchored || m_pieces.empty())
        return false;
    const int64_t heard = HeardStreamAt(now);
    if (heard >= m_written)
        return false;
    for (const Piece& piece : m_pieces) {
        if (heard < piece.streamEnd) {
            // Negative before the first piece begins to be heard: a time before it.
            const int64_t into = heard - piece.streamStart;
            recordingUs =
                piece.recordingStart +
                static_cast<int64_t>(std::llround(static_cast<double>(into) * piece.factor));
            return true;
        }
    }
    return false;
}

void SoundPlayClock::Reset() {
    m_pieces.clear();
    m_anchorStream = m_written;
    m_anchored = false;
}
