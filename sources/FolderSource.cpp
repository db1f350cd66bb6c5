#include "sources/FolderSource.h"

#include "base/AsciiText.h"
#include "formats/RecordingCopier.h"
#include "sources/PacketTrack.h"
#include "storage/QuickDuration.h"
#include "telemetry/RecordingTelemetry.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

FolderSource::FolderSource(std::string root, Type type, sources::Options options)
    : m_root(std::move(root)), m_type(type), m_options(std::move(options)) {
    if (m_type == Type::kFile)
        m_files = {folderscan::SingleFile(m_root)};
    else
        m_files = folderscan::Scan(m_root);
    m_damaged.assign(m_files.size(), -1);
    m_recordings.reserve(m_files.size());
    for (const DashcamRecording& file : m_files) {
        SourceRecording recording;
        recording.name = file.name;
        recording.category = file.category;
        recording.start = file.start;
        recording.lengthMs = file.lengthMs;
        recording.cameras = file.CameraWords();
        recording.channels = std::max(static_cast<int>(recording.cameras.size()), 1);
        recording.sizeBytes = file.sizeBytes;
        m_recordings.push_back(std::move(recording));
    }
}

FolderSource::~FolderSource() {
    if (m_dashcamParser)
        m_dashcamParser->Stop();
    m_aviParser.Stop();
}

const DashcamRecording* FolderSource::Recording(const std::string& name) const {
    return folderscan::Find(m_files, name);
}

bool FolderSource::IsAvi(const DashcamRecording& recording) const {
    return recording.ChannelCount() == 1 && ascii::HasExtension(recording.FirstPicture(), "avi");
}

bool FolderSource::Damaged(size_t index) {
    if (m_damaged[index] < 0) {
        bool damaged = false;
        for (const std::string& file : m_files[index].channels)
            if (!file.empty() && !ascii::HasExtension(file, "avi"))
                damaged = damaged || QuickDuration::OfFile(file).damaged;
        m_damaged[index] = damaged ? 1 : 0;
    }
    return m_damaged[index] == 1;
}

std::vector<size_t> FolderSource::List(int filter) {
    // Newest first: by category as the card's list within one filter, by time for all.
    std::vector<size_t> order;
    for (size_t i = 0; i < m_files.size(); ++i)
        if (filter == RecordingList::kFilterAll || m_files[i].category == filter)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        return m_files[a].start.ToSeconds() > m_files[b].start.ToSeconds();
    });
    return order;
}

RecordingList::Row FolderSource::RowOf(size_t index) {
    if (index >= m_files.size())
        return {};
    return RecordingList::RowOfRecording(m_files[index], Damaged(index));
}

VMediaParser* FolderSource::EngineParser(const std::string& name, std::string& openName) {
    const DashcamRecording* recording = Recording(name);
    if (recording == nullptr)
        return nullptr;
    if (IsAvi(*recording)) {
        openName = recording->FirstPicture();
        return &m_aviParser;
    }
    if (!m_dashcamParser) {
        if (!m_options.folderParser)
            return nullptr;
        m_dashcamParser = m_options.folderParser(m_files);
        if (!m_dashcamParser || !m_dashcamParser->Start()) {
            m_dashcamParser.reset();
            return nullptr;
        }
    }
    openName = name;
    return m_dashcamParser.get();
}

std::string FolderSource::OpenName(const std::string& name) const {
    const DashcamRecording* recording = Recording(name);
    if (recording == nullptr)
        return {};
    return IsAvi(*recording) ? recording->FirstPicture() : name;
}

std::unique_ptr<VMediaParser> FolderSource::NewParser(const std::string& name,
                                                      std::string& openName) const {
    const DashcamRecording* recording = Recording(name);
    if (recording == nullptr)
        return nullptr;
    if (IsAvi(*recording)) {
        openName = recording->FirstPicture();
        return std::make_unique<CAVIExtractor>();
    }
    if (!m_options.folderParser)
        return nullptr;
    openName = name;
    return m_options.folderParser(m_files);
}

int64_t FolderSource::PlayLengthMs(size_t index) const {
    if (index >= m_files.size())
        return -1;
    double seconds = -1;
    for (const std::string& file : m_files[index].channels)
        if (!file.empty())
            seconds = std::max(seconds, QuickDuration::OfFile(file).seconds);
    return seconds >= 0 ? static_cast<int64_t>(std::llround(seconds * 1000.0))
                        : m_recordings[index].lengthMs;
}

bool FolderSource::TelemetryInPackets(const std::string& name) const {
    const DashcamRecording* recording = Recording(name);
    return recording != nullptr && IsAvi(*recording);
}

TelemetryTrack FolderSource::LoadTrack(const std::string& name) const {
    const DashcamRecording* recording = Recording(name);
    if (recording == nullptr)
        return {};
    if (!IsAvi(*recording))
        return RecordingTelemetry::Load(recording->AllFiles());
    CAVIExtractor reader;
    TelemetryTrack track;
    ReadPacketTrack(reader, recording->FirstPicture(), track);
    return track;
}

SourceDownload FolderSource::Download(const std::string& name, const std::string& folder,
                                      const ExportProgress& progress) {
    SourceDownload result;
    const DashcamRecording* recording = Recording(name);
    if (recording == nullptr) {
        result.report.name = name;
        result.report.outcome = ExportReport::Outcome::kFailed;
        result.report.reason = "no such recording";
        return result;
    }
    RecordingCopier copier;
    result.report = copier.CopyToFolder(*recording, folder, progress);
    if (result.report.outcome != ExportReport::Outcome::kCancelled) {
        result.track = RecordingTelemetry::Load(recording->AllFiles());
        result.routeFolder = result.report.path;
    }
    return result;
}

std::vector<std::string> FolderSource::SourceFiles(const std::string& name) const {
    const DashcamRecording* recording = Recording(name);
    if (recording == nullptr)
        return {};
    std::vector<std::string> files;
    for (const std::string& file : recording->AllFiles()) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(file, error);
        files.push_back(error ? file : absolute.lexically_normal().string());
    }
    return files;
}
