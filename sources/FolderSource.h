#pragma once

#include "formats/CAVIExtractor.h"
#include "sources/SourceOpening.h"
#include "sources/VRecordingSource.h"
#include "storage/FolderScanner.h"

#include <memory>
#include <string>
#include <vector>

// A folder of ordinary dash-cam files (scanned: folderscan::Scan), or one video file, as a
// recording source. Listed without opening a file (names, sizes and file times; lengths from
// the file times where they tell), newest first; a row's damage is read once from a few bytes
// of its files. Recordings play through the dash-cam parser the program gives (Options), an
// AVI file of this program's own through the AVI reader; their telemetry is read from their
// files (RecordingTelemetry), an AVI file's from its text packets; the download copies their
// original files (RecordingCopier).
//
// Threads: as VRecordingSource. Owns its parsers.
class FolderSource final : public VRecordingSource {
public:
    // type: kFolder (root is scanned) or kFile (root is the one recording).
    FolderSource(std::string root, Type type, sources::Options options);
    ~FolderSource() override;

    Type SourceType() const override { return m_type; }
    const std::string& Root() const override { return m_root; }
    std::string StorageFolder() const override { return {}; }

    const std::vector<SourceRecording>& Recordings() const override { return m_recordings; }
    std::vector<size_t> List(int filter) override;
    RecordingList::Row RowOf(size_t index) override;

    VMediaParser* EngineParser(const std::string& name, std::string& openName) override;
    std::string OpenName(const std::string& name) const override;
    std::unique_ptr<VMediaParser> NewParser(const std::string& name,
                                            std::string& openName) const override;
    int64_t PlayLengthMs(size_t index) const override;

    bool TelemetryInPackets(const std::string& name) const override;
    TelemetryTrack LoadTrack(const std::string& name) const override;

    SourceDownload Download(const std::string& name, const std::string& folder,
                            const ExportProgress& progress) override;

    std::vector<std::string> SourceFiles(const std::string& name) const override;

    // The files of a recording; null for an unknown name.
    const DashcamRecording* Recording(const std::string& name) const;
    const std::vector<DashcamRecording>& Files() const { return m_files; }

private:
    // An AVI file of this program's own, read through the AVI reader.
    bool IsAvi(const DashcamRecording& recording) const;
    bool Damaged(size_t index);

    const std::string m_root;
    const Type m_type;
    const sources::Options m_options;
    std::vector<DashcamRecording> m_files;
    std::vector<SourceRecording> m_recordings; // the same order as m_files
    std::vector<int8_t> m_damaged;             // -1 not yet read, 0 whole, 1 damaged
    std::unique_ptr<VMediaParser> m_dashcamParser;
    CAVIExtractor m_aviParser;
};
