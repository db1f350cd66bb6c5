#include "ClipMarks.h"

#include <algorithm>
#include <utility>

void ClipMarks::MarkStart(int64_t timeMs) {
    m_start = timeMs;
    if (m_end && *m_end < *m_start)
        std::swap(*m_start, *m_end);
}

void ClipMarks::MarkEnd(int64_t timeMs) {
    m_end = timeMs;
    if (m_start && *m_end < *m_start)
        std::swap(*m_start, *m_end);
}

ClipSpan ClipMarks::Span(int64_t nowMs, int64_t lengthMs, std::optional<int64_t> eventStartMs,
                         const ClipDefaults& defaults) const {
    const int64_t length = std::max<int64_t>(lengthMs, 0);
    const auto clamp = [length](int64_t t) { return std::clamp<int64_t>(t, 0, length); };
    ClipSpan span;
    if (m_start || m_end) {
        span.startMs = clamp(m_start.value_or(0));
        span.endMs = clamp(m_end.value_or(length));
    } else if (eventStartMs) {
        span.startMs = clamp(*eventStartMs - defaults.beforeEventMs);
        span.endMs = clamp(*eventStartMs + defaults.afterEventMs);
    } else {
        span.startMs = clamp(nowMs - defaults.aroundMs);
        span.endMs = clamp(nowMs + defaults.aroundMs);
    }
    if (span.endMs < span.startMs)
        std::swap(span.startMs, span.endMs);
    return span;
}
