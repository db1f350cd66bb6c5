#include "CTextData.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {
constexpr char kRmcType[] = "GPRMC";
constexpr size_t kRmcTypeAt = 2;
constexpr size_t kRmcTypeSize = sizeof(kRmcType) - 1;
} // namespace

void CTextData::OnTextPacket(const uint8_t* payload, size_t size, int64_t timeMs) {
    if (payload == nullptr || size == 0)
        return;

    if (payload[0] == 'G') {
        if (size < kRmcTypeAt + kRmcTypeSize ||
            std::memcmp(payload + kRmcTypeAt, kRmcType, kRmcTypeSize) != 0)
            return;
        // Parse outside the lock; only the append needs it.
        const CGPSData fix(std::string_view(reinterpret_cast<const char*>(payload), size), 0);
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_gpsFixes.push_back(fix);
    } else if (payload[0] == 'M') {
        if (size < 4)
            return;
        // At most one sample per second of playback: sample i stands for second i.
        const int64_t second = timeMs / 1000;
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (second >= 0 && static_cast<uint64_t>(second) >= m_sensorSamples.size())
            m_sensorSamples.emplace_back(payload[1], payload[2], payload[3], 0);
    }
}

void CTextData::Clear() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_sensorSamples.clear();
    m_gpsFixes.clear();
}

size_t CTextData::GpsCount() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_gpsFixes.size();
}

size_t CTextData::SensorCount() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_sensorSamples.size();
}

bool CTextData::NewestFix(CGPSData& out) const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_gpsFixes.empty())
        return false;
    out = m_gpsFixes.back();
    return true;
}

std::vector<CGPSData> CTextData::GpsFixes() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_gpsFixes;
}

std::vector<CGSensorData> CTextData::SensorSamples() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_sensorSamples;
}

size_t CTextData::CopySensorSamples(size_t first, size_t count,
                                    std::vector<CGSensorData>& out) const {
    out.clear();
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (first >= m_sensorSamples.size())
        return 0;
    const size_t n = std::min(count, m_sensorSamples.size() - first);
    const auto begin = m_sensorSamples.begin() + static_cast<std::ptrdiff_t>(first);
    out.assign(begin, begin + static_cast<std::ptrdiff_t>(n));
    return n;
}
