#include "clips/CopyProgress.h"

#include <algorithm>
#include <cmath>

namespace clips {

namespace {

// Pictures between two calls of the callback.
constexpr int64_t kEvery = 10;

} // namespace

CopyProgress::CopyProgress(const ProgressFn& progress, int64_t total)
    : m_progress(progress), m_total(std::max<int64_t>(total, 1)) {}

void CopyProgress::Picture() {
    ++m_done;
    if (m_done % kEvery == 0)
        Tell();
}

void CopyProgress::Done() {
    m_total = m_done;
    Tell();
}

void CopyProgress::Tell() {
    if (!m_progress)
        return;
    m_total = std::max(m_total, m_done);
    ClipProgress now;
    now.framesDone = m_done;
    now.framesTotal = m_total;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - m_began;
    if (m_done > 0 && took.count() > 0)
        now.secondsLeft =
            took.count() * static_cast<double>(m_total - m_done) / static_cast<double>(m_done);
    m_progress(now);
}

int64_t PicturesIn(int64_t spanMs, double framesPerSecond) {
    const double rate = framesPerSecond > 0 ? framesPerSecond : 30.0;
    return std::max<int64_t>(1, std::llround(static_cast<double>(spanMs) * rate / 1000.0));
}

} // namespace clips
