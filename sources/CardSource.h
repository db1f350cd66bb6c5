#pragma once

#include "player/source/CTATParser.h"
#include "sources/VRecordingSource.h"
#include "storage/CTATLibrary.h"

#include <map>
#include <string>
#include <vector>

class DiagLog;

// The camera's storage on a card as a recording source. Its recordings are every entry of the
// four categories' directories, each recording's length from its frame counts (its 512-byte
// header is read once, when the card is listed); the list shows what the window's list rule
// keeps (RecordingList: entries too small to play left out). Recordings play through the card
// parser (CTATParser) over a library of the source's own; their GPS and G-sensor lines come with
// their packets; the download exports NAME.avi (CRecordingExporter) through the same parser.
//
// Threads: as VRecordingSource. Owns its library and parser; the parser's reading thread runs
// from the first EngineParser to the destruction.
class CardSource final : public VRecordingSource {
public:
    CardSource(std::string root, const DiagLog* diag);
    ~CardSource() override;

    Type SourceType() const override { return Type::kCard; }
    const std::string& Root() const override { return m_root; }
    std::string StorageFolder() const override;

    const std::vector<SourceRecording>& Recordings() const override { return m_recordings; }
    std::vector<size_t> List(int filter) override;
    RecordingList::Row RowOf(size_t index) override;

    VMediaParser* EngineParser(const std::string& name, std::string& openName) override;
    std::string OpenName(const std::string& name) const override {
        return m_byName.count(name) != 0 ? name : std::string();
    }
    std::unique_ptr<VMediaParser> NewParser(const std::string& name,
                                            std::string& openName) const override;
    int64_t PlayLengthMs(size_t index) const override;

    bool TelemetryInPackets(const std::string&) const override { return true; }
    TelemetryTrack LoadTrack(const std::string& name) const override;

    SourceDownload Download(const std::string& name, const std::string& folder,
                            const ExportProgress& progress) override;

    std::vector<std::string> SourceFiles(const std::string& name) const override;

    // The card's library (the settings dialog's and the tools' other commands read through it).
    CTATLibrary& Library() { return m_library; }

private:
    void ReadListing();

    const std::string m_root;
    const DiagLog* m_diag;
    CTATLibrary m_library;
    CTATParser m_parser;
    uint8_t m_drive = 0;
    std::vector<SourceRecording> m_recordings;
    std::map<std::string, size_t> m_byName;
};
