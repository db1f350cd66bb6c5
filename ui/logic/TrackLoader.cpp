#include "TrackLoader.h"

#include "telemetry/RecordingTelemetry.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <utility>

namespace {

bool Finished(const std::future<TelemetryTrack>& load) {
    return load.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

} // namespace

void TrackLoader::Start(const std::vector<std::string>& files) {
    Start([files] { return RecordingTelemetry::Load(files); });
}

void TrackLoader::Start(std::function<TelemetryTrack()> load) {
    Cancel();
    try {
        m_load = std::async(std::launch::async, load);
    } catch (const std::system_error&) {
        // No thread to be had: read it here.
        std::promise<TelemetryTrack> read;
        read.set_value(load());
        m_load = read.get_future();
    }
}

void TrackLoader::Cancel() {
    Reap();
    if (m_load.valid() && !Finished(m_load))
        m_abandoned.push_back(std::move(m_load));
    m_load = {};
}

std::optional<TelemetryTrack> TrackLoader::Take() {
    Reap();
    if (!m_load.valid() || !Finished(m_load))
        return std::nullopt;
    return m_load.get();
}

void TrackLoader::Reap() {
    m_abandoned.erase(std::remove_if(m_abandoned.begin(), m_abandoned.end(), Finished),
                      m_abandoned.end());
}
