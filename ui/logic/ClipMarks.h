#pragma once

#include <cstdint>
#include <optional>

// The span of an incident clip on the time line that plays (a recording's, or a drive's
// across its recordings): the marks "i" and "o" set, or without them the default around the
// time played. Times in milliseconds of that time line.
//
// Plain values; the window's thread.
struct ClipSpan {
    int64_t startMs = 0;
    int64_t endMs = 0;
    bool operator==(const ClipSpan&) const = default;
};

// How long the default clip reaches around an event recording's start and around the time
// played otherwise (settings).
struct ClipDefaults {
    int64_t beforeEventMs = 30000;
    int64_t afterEventMs = 10000;
    int64_t aroundMs = 20000;
};

class ClipMarks {
public:
    // The marks at a time of the line; an end before the start swaps them at once, so the
    // marks always read as a span.
    void MarkStart(int64_t timeMs);
    void MarkEnd(int64_t timeMs);
    void Clear() {
        m_start.reset();
        m_end.reset();
    }
    const std::optional<int64_t>& Start() const { return m_start; }
    const std::optional<int64_t>& End() const { return m_end; }

    // The clip to export on a line of lengthMs: both marks; one mark and the line's end or
    // start; without marks, from beforeEventMs before to afterEventMs after eventStartMs
    // (the start of the event recording that plays), else aroundMs either side of nowMs.
    // Always within 0 .. lengthMs; empty (start == end) only for an empty line.
    ClipSpan Span(int64_t nowMs, int64_t lengthMs, std::optional<int64_t> eventStartMs,
                  const ClipDefaults& defaults = {}) const;

private:
    std::optional<int64_t> m_start;
    std::optional<int64_t> m_end;
};
