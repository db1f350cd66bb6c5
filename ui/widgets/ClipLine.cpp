#include "ClipLine.h"

#include <algorithm>

ClipLine ClipLine::OfDrive(const TripPlan& plan, const std::vector<SourceRecording>& recordings) {
    ClipLine line;
    for (size_t m = 0; m < plan.members.size() && m < plan.segments.size(); ++m) {
        const size_t index = plan.members[m];
        if (index >= recordings.size())
            continue;
        const SourceRecording& recording = recordings[index];
        line.m_members.push_back({recording.name, recording.category, recording.start,
                                  plan.OffsetMs(m), plan.segments[m].lengthUs / 1000});
    }
    line.m_lengthMs = plan.lengthMs;
    if (!line.m_members.empty())
        line.m_lengthMs = std::max(line.m_lengthMs,
                                   line.m_members.back().offsetMs + line.m_members.back().lengthMs);
    return line;
}

ClipLine ClipLine::OfRecording(const SourceRecording& recording, int64_t lengthMs) {
    ClipLine line;
    const int64_t length = std::max<int64_t>(lengthMs, 0);
    line.m_members.push_back({recording.name, recording.category, recording.start, 0, length});
    line.m_lengthMs = length;
    return line;
}

int ClipLine::MemberAt(int64_t lineMs, bool end) const {
    if (m_members.empty())
        return -1;
    int found = 0;
    for (size_t k = 0; k < m_members.size(); ++k) {
        const int64_t offset = m_members[k].offsetMs;
        if (end ? lineMs > offset : lineMs >= offset)
            found = static_cast<int>(k);
    }
    return found;
}

std::optional<int64_t> ClipLine::EventStartAt(int64_t nowMs) const {
    const int k = MemberAt(std::clamp<int64_t>(nowMs, 0, m_lengthMs), false);
    if (k < 0 || m_members[static_cast<size_t>(k)].category != 0)
        return std::nullopt;
    return m_members[static_cast<size_t>(k)].offsetMs;
}

clips::ClipMark ClipLine::StartMark(int64_t lineMs) const {
    const int64_t t = std::clamp<int64_t>(lineMs, 0, m_lengthMs);
    const int k = MemberAt(t, false);
    if (k < 0)
        return {};
    const Member& member = m_members[static_cast<size_t>(k)];
    return {member.name, std::clamp<int64_t>(t - member.offsetMs, 0, member.lengthMs)};
}

clips::ClipMark ClipLine::EndMark(int64_t lineMs) const {
    const int64_t t = std::clamp<int64_t>(lineMs, 0, m_lengthMs);
    const int k = MemberAt(t, true);
    if (k < 0)
        return {};
    const Member& member = m_members[static_cast<size_t>(k)];
    return {member.name, std::clamp<int64_t>(t - member.offsetMs, 0, member.lengthMs)};
}

int64_t ClipLine::WallSecondsAt(int64_t lineMs, bool end) const {
    const clips::ClipMark mark = end ? EndMark(lineMs) : StartMark(lineMs);
    const int k = MemberAt(std::clamp<int64_t>(lineMs, 0, m_lengthMs), end);
    if (k < 0)
        return -1;
    return m_members[static_cast<size_t>(k)].start.ToSeconds() + mark.offsetMs / 1000;
}

ClipEnds ClipLine::Ends(const ClipSpan& span) const {
    ClipEnds ends;
    ends.line = span;
    ends.from = StartMark(span.startMs);
    ends.to = EndMark(span.endMs);
    if (!m_members.empty()) {
        ends.wallStartSec = WallSecondsAt(span.startMs, false);
        ends.wallEndSec = WallSecondsAt(span.endMs, true);
    }
    return ends;
}
