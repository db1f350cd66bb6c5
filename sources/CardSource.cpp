#include "sources/CardSource.h"

#include "sources/PacketTrack.h"
#include "sources/StandaloneCardParser.h"
#include "storage/RecordingName.h"
#include "storage/TatFormat.h"
#include "telemetry/TextChannelTrack.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

// The full front frame count of the counts text ("cntVideo0=N; ..."); the 16-bit count of
// the description where the text does not say.
int64_t FrontFrames(const TatDescription& description) {
    const char* at = std::strstr(description.counts, "cntVideo0=");
    long long frames = -1;
    if (at == nullptr || std::sscanf(at, "cntVideo0=%lld", &frames) != 1 || frames < 0)
        return description.frontFrames;
    return frames;
}

} // namespace

CardSource::CardSource(std::string root, const DiagLog* diag)
    : m_root(std::move(root)), m_diag(diag), m_library(TatCardSource::OnlyFolder(m_root)),
      m_parser(&m_library) {
    m_library.SetDiagLog(diag);
    m_parser.SetDiagLog(diag);
    m_drive = m_library.PollCardDrive();
    if (m_drive != 0)
        m_library.MountCard();
    ReadListing();
}

CardSource::~CardSource() {
    m_parser.Stop();
}

void CardSource::ReadListing() {
    // Every recording of the four directories: the tools play and read any of them; the
    // window's list leaves out those too small to play (List).
    for (int32_t category = 0; category < tat::kCategoryCount; ++category) {
        const int32_t count = m_library.CountEntries(m_drive, category);
        if (count <= 0)
            continue;
        const std::unique_ptr<char[][40]> names(new char[static_cast<size_t>(count)][40]);
        std::vector<int64_t> sizes(static_cast<size_t>(count));
        std::vector<int32_t> indexes(static_cast<size_t>(count));
        const int32_t filled = m_library.ListEntries(m_drive, category, count, names.get(),
                                                     sizes.data(), indexes.data());
        for (int32_t i = 0; i < filled; ++i) {
            const auto at = static_cast<size_t>(i);
            const std::string name(names[at], strnlen(names[at], 40));
            if (name.empty() || m_byName.count(name) != 0)
                continue;
            SourceRecording recording;
            recording.name = name;
            recording.sizeBytes = sizes[at];
            recording.category = category;
            tat::RecordingName parsed;
            if (tat::ParseRecordingName(name, parsed, nullptr))
                recording.start = parsed.start;
            recording.channels = tat::ChannelsOfPath(name);
            recording.cameras = {"front"};
            if (recording.channels >= 2)
                recording.cameras.emplace_back("rear");
            recording.channels = static_cast<int>(recording.cameras.size());
            TatDescription description;
            if (m_library.DescribeByName(name, description)) {
                const tat::InfoBlock block = tat::InfoBlock::Decode(description.info);
                const int rate = block.frontFrameRate > 0 ? block.frontFrameRate : 30;
                recording.lengthMs = FrontFrames(description) * 1000 / rate;
            }
            m_byName.emplace(name, m_recordings.size());
            m_recordings.push_back(std::move(recording));
        }
    }
}

std::string CardSource::StorageFolder() const {
    return m_root + "/" + tat::kStoreFolder;
}

std::vector<size_t> CardSource::List(int filter) {
    std::vector<size_t> rows;
    for (const std::string& name : RecordingList::ListNames(m_library, m_drive, filter)) {
        const auto found = m_byName.find(name);
        if (found != m_byName.end())
            rows.push_back(found->second);
    }
    return rows;
}

RecordingList::Row CardSource::RowOf(size_t index) {
    return RecordingList::RowOfName(index < m_recordings.size() ? m_recordings[index].name
                                                                : std::string());
}

VMediaParser* CardSource::EngineParser(const std::string& name, std::string& openName) {
    if (m_byName.count(name) == 0)
        return nullptr;
    openName = name;
    m_parser.Start();
    return &m_parser;
}

std::unique_ptr<VMediaParser> CardSource::NewParser(const std::string& name,
                                                    std::string& openName) const {
    if (m_byName.count(name) == 0)
        return nullptr;
    openName = name;
    return std::make_unique<StandaloneCardParser>(m_root, m_diag);
}

int64_t CardSource::PlayLengthMs(size_t index) const {
    return index < m_recordings.size() ? m_recordings[index].lengthMs : -1;
}

TelemetryTrack CardSource::LoadTrack(const std::string& name) const {
    TelemetryTrack track;
    std::string openName;
    const std::unique_ptr<VMediaParser> parser = NewParser(name, openName);
    if (parser) {
        ReadPacketTrack(*parser, openName, track);
        parser->Stop();
    }
    return track;
}

SourceDownload CardSource::Download(const std::string& name, const std::string& folder,
                                    const ExportProgress& progress) {
    m_parser.Start();
    CRecordingExporter exporter(m_parser, StorageFolder());
    TextChannelTrack text;
    exporter.SetTextSink([&text](const uint8_t* payload, size_t size, int64_t timeMs) {
        text.OnTextPacket(payload, size, timeMs);
    });
    SourceDownload result;
    result.report = exporter.ExportToFolder(name, folder, progress);
    result.track = text.Take();
    if (!result.report.path.empty())
        result.routeFolder = std::filesystem::path(result.report.path).parent_path().string();
    return result;
}

std::vector<std::string> CardSource::SourceFiles(const std::string& name) const {
    const auto found = m_byName.find(name);
    if (found == m_byName.end() || !tat::IsStorableName(name))
        return {};
    const int category = m_recordings[found->second].category;
    if (category < 0 || category >= tat::kCategoryCount)
        return {};
    const std::filesystem::path file = std::filesystem::path(m_root) / tat::kStoreFolder /
                                       tat::kCategoryWords[static_cast<size_t>(category)] /
                                       (name + tat::kRecordingExtension);
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(file, error);
    return {(error ? file : absolute).lexically_normal().string()};
}
