#pragma once

#include "formats/CRecordingExporter.h"
#include "player/api/VMediaParser.h"
#include "storage/CivilTime.h"
#include "storage/TripGrouping.h"
#include "telemetry/TelemetryTrack.h"
#include "ui/logic/RecordingList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One recording as a source lists it.
struct SourceRecording {
    std::string name;      // what the list shows and every command takes
    int category = 1;      // 0 event, 1 normal, 2 parking, 3 manual
    CivilTime start;       // local wall-clock time the recording began
    int64_t lengthMs = -1; // from what the listing read (no file opened); < 0 unknown
    int channels = 1;      // cameras
    // The cameras' words in channel order (0 front first): "front", "rear" for two-camera
    // recordings; a car's "front", "back", "left_repeater", "right_repeater", "left_pillar",
    // "right_pillar" (those it has). Snapshots and the window's panes are named by them.
    // Empty where the listing does not tell: then channel 0 is "front" and 1 "rear".
    std::vector<std::string> cameras;
    int64_t sizeBytes = 0;
};

// What a download of one recording left: its report, and the route it carries (written
// beside it as GPX by the download when it has fixes).
struct SourceDownload {
    ExportReport report;
    TelemetryTrack track;
    std::string routeFolder; // where the route goes: the folder the recording's files went to
                             // (empty: the download left nothing)
};

// Where recordings come from: the camera's storage on a card, a folder of ordinary dash-cam
// files, or one video file. The window and the tools see every source through this one
// interface: its listing, opening a recording for the engine, its telemetry, its files for the
// download, and its drives (trips).
//
// A source reads its listing when it is made (sources::Open) and keeps it; it owns the
// parsers it hands out. Threads: listing, rows and EngineParser on one thread (the window's or
// the tool's); LoadTrack, PlayLengthMs, NewParser and Download on any thread, any number at a
// time, as they touch nothing the others change (Download with the card's engine parser is
// the exception: only while the engine reads nothing).
class VRecordingSource {
public:
    enum class Type { kCard, kFolder, kFile };

    virtual ~VRecordingSource() = default;

    virtual Type SourceType() const = 0;
    // The card's folder, the dash-cam folder, or the file.
    virtual const std::string& Root() const = 0;
    // The folder nothing may be written into (the card's CARD/TATSTORE); empty for others.
    virtual std::string StorageFolder() const = 0;

    // ---- Listing ----
    // Every recording the window may list, in no particular order.
    virtual const std::vector<SourceRecording>& Recordings() const = 0;
    // The recordings a filter lists (0 event, 1 normal, 2 parking, 3 manual, 4 all), as
    // indexes into Recordings(), in the list's order (newest first).
    virtual std::vector<size_t> List(int filter) = 0;
    // The list row of a recording (a folder's recording's damage is read, once, from a few
    // bytes of its files).
    virtual RecordingList::Row RowOf(size_t index) = 0;
    // The index of a name in Recordings(); -1 for none.
    int Find(const std::string& name) const;

    // ---- Playing ----
    // The parser that opens recording `name` for the engine, and the name its Open takes;
    // null (for a name the source does not hold, or in a program built without the media
    // parsers). Owned by the source; started (Start is harmless to repeat) and valid as long
    // as the source.
    virtual VMediaParser* EngineParser(const std::string& name, std::string& openName) = 0;
    // What those parsers' Open takes for a recording's name; empty for a name the source does
    // not hold.
    virtual std::string OpenName(const std::string& name) const = 0;
    // A parser of its own for this source's recordings (opening the names EngineParser gives):
    // for reading one recording while another plays. Null where EngineParser is.
    virtual std::unique_ptr<VMediaParser> NewParser(const std::string& name,
                                                    std::string& openName) const = 0;
    // The length a recording plays, read from its files where that is cheap and exact (a
    // container's header, the card's frame counts); the listed length otherwise. Any thread.
    virtual int64_t PlayLengthMs(size_t index) const = 0;

    // ---- Telemetry ----
    // Whether the recording's GPS and G-sensor lines come through the engine as text packets
    // while it plays (the card, this program's AVI exports) rather than from its files.
    virtual bool TelemetryInPackets(const std::string& name) const = 0;
    // The recording's whole telemetry, times from its first picture. Blocking, any thread;
    // long for a recording that must be read whole. Empty for an unknown name.
    virtual TelemetryTrack LoadTrack(const std::string& name) const = 0;

    // ---- Download ----
    // Writes one recording into `folder` for the download: the card's as NAME.avi, a folder's
    // as copies of its original files. The exporting thread.
    virtual SourceDownload Download(const std::string& name, const std::string& folder,
                                    const ExportProgress& progress) = 0;

    // ---- Evidence ----
    // The files a recording's pictures, sound and telemetry are read from, as absolute paths,
    // for the evidence record of a clip (their digests) and for refusing to write over them:
    // a folder's recording gives every file of it (each camera, further video files of the
    // moment, side files such as .gps and .nmea); a card's recording gives its recording file
    // in the storage (TATSTORE/<CATEGORY>/<NAME>.TRD), which holds all its packets (the
    // category's directory and the volume record change with every recording the camera
    // makes, so they are not the recording's). Names the listing holds only; empty for an
    // unknown name. Cheap: no file is read. Any thread.
    virtual std::vector<std::string> SourceFiles(const std::string& name) const = 0;

    // ---- Drives ----
    // The source's trips over every recording, oldest first; members index Recordings().
    std::vector<trips::Trip> Trips(int64_t gapMs = trips::kDefaultGapMs) const;
};
