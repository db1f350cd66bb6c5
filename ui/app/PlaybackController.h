#pragma once
#include "player/audio/AudioOutputFactory.h"
#include "player/audio/CAudioTempo.h"
#include "player/decoder/CDecoder.h"
#include "player/engine/CQTRMediaPlayer.h"
#include "player/source/CParserSwitch.h"
#include "player/source/CTripParser.h"
#include "sources/TripPlan.h"
#include "sources/VRecordingSource.h"
#include "storage/CTATLibrary.h"
#include "telemetry/CTextData.h"
#include "telemetry/TripFigures.h"
#include "ui/logic/RecordingList.h"
#include "ui/logic/TrackLoader.h"
#include "ui/logic/TrackTimeline.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class DiagLog;
class VPictureArea;

// Plays the recordings of the source in use for the main window: it owns the card library it
// polls, the recording source (VRecordingSource: the card, a dash-cam folder or one video
// file), the parser switch in front of the source's parser and the drive parser, the decoder,
// the sound output, the player engine wired to them, the telemetry store the engine's text
// lines go to (a card's recordings and AVI files), the telemetry read from the files of what
// plays (a folder's recording, or a drive's recordings joined), the names the recording list
// shows and the current row.
//
// It offers the playback commands (list a category, play a row or a name, play/pause, stop,
// next and previous row, seek, scrub, 10-second steps, frame steps, playing speed, volume,
// brightness) and tells what happened
// through signals: the list, the current row, a recording opened, playing or paused, stopped,
// the card gone, the end of a recording, and a status tick every 100 ms while a recording is
// loaded. It polls the card once a second.
//
// The source is the camera's storage (a card), or else a folder of ordinary dash-cam video
// files or one video file: the --card folder (or the path the window was started with) when
// it is no card, or a mounted removable volume with video files when no card is found. Such a
// source is scanned when it appears; its recordings are listed by category and date (newest
// first; "(damaged)" after the time of one whose file is cut or lacks its index) and played
// through the parser the source gives. Telemetry that does not come through the engine is
// read from the source (LoadTrack) on a thread of its own when the recording opens, and is
// there (FolderTrack) from the first status tick after it has been read.
//
// Drives (trips): the source's recordings grouped by trips::Group with the gap setting. A
// drive plays as one recording (CTripParser over the source's own parsers, the next recording
// read ahead): the engine's times, the duration, seeks and steps all count on the drive's time
// line (TripPlan), and PlayingTrip() tells which recording plays when.
//
// Rows count from the top of the list (newest first); NEXT plays the row above the current
// one and stops after the first row, PRE the row below and stops after the last.
//
// Threads: GUI thread. The engine calls back on its worker thread; the text lines go straight
// into the telemetry store (which locks), the end of a recording is handed to the GUI thread.
// The folder track's loader thread hands its result over through TrackLoader, taken on the
// status tick.
class PlaybackController final : public QObject {
    Q_OBJECT
public:
    struct Options {
        std::string cardFolder;    // --card DIR or PATH (or TATVIEW_CARD): a card, a dash-cam
                                   // folder or a video file; empty: none
        bool scanRemovable = true; // look at mounted removable volumes too
        AudioOutputFactory::Choice audio = AudioOutputFactory::Choice::Auto;
        // Hardware decoding; a device that does not answer is said once on standard error.
        HwDecode hwdec = HwDecode::kNo;
    };
    // The device volume before the user sets one, and after the card has gone.
    static constexpr uint32_t kInitialDeviceVolume = 0x7FFF7FFF;

    // diag: diagnostic lines of the library, the parser and (when engineDiag) the engine's
    // pacer; it must outlive the controller.
    PlaybackController(Options options, const DiagLog* diag, bool engineDiag,
                       QObject* parent = nullptr);
    ~PlaybackController() override; // shuts down

    // Starts the engine with its two picture areas (they must outlive ShutDown) and the card
    // poll. A sound output that does not open gives way to the silent one (said once on
    // standard error), as when no sound server answers; the result names the part that still
    // did not start.
    CQTRMediaPlayer::StartResult Start(VPictureArea* front, VPictureArea* rear);
    // The same with one area per camera (areas[c] shows channel c, at most
    // CQTRMediaPlayer::kMaxCameras).
    CQTRMediaPlayer::StartResult Start(const std::vector<VPictureArea*>& areas);
    // Stops the timers and the engine (its threads, the parser's, the sound output). Safe to
    // call more than once.
    void ShutDown();

    // ---- The source ----
    // One tick of the card poll: notices a source arriving (lists it) or going (cardRemoved).
    void PollCard();
    // 1 while a source is in use, 0 without one.
    uint8_t CardDrive() const { return m_source ? 1 : 0; }
    // The library the card poll looks through (where it looks for cards).
    CTATLibrary& Library() { return m_library; }
    // The source in use; null without one. The download holds it while it runs.
    std::shared_ptr<VRecordingSource> Source() const { return m_source; }
    // The card's storage folder (CARD/TATSTORE); empty without a card and for a dash-cam
    // folder.
    std::string StorageFolder();
    // The dash-cam folder or video file in use; empty for the card or without a source.
    std::string FolderSource() const;

    // ---- The list ----
    // Lists the recordings of a filter (0 event, 1 continuous, 2 parking, 3 manual, 4 all);
    // none without a card.
    void ListRecordings(int filter);
    const std::vector<std::string>& Rows() const { return m_rows; }
    // The filter listed last (4 before any listing).
    int Filter() const { return m_filter; }
    // The texts of the rows, in the same order.
    const std::vector<RecordingList::Row>& RowTexts() const { return m_rowTexts; }
    // The current row; -1 for none.
    int CurrentRow() const { return m_currentRow; }

    // ---- Drives ----
    // The gap that still joins two recordings into one drive (ms; default 10 s). The drives are
    // grouped again on the next listing.
    void SetTripGap(int64_t gapMs) { m_tripGapMs = gapMs; }
    int64_t TripGap() const { return m_tripGapMs; }
    // The drives of the source, oldest first (members index Source()->Recordings()).
    const std::vector<trips::Trip>& Trips() const { return m_trips; }
    // The drives a filter lists, newest first: those holding a recording of the category
    // (every drive for 4), as indexes into Trips().
    std::vector<size_t> ListTrips(int filter) const;
    // Plays drive `trip` (an index into Trips()) from the start of its member `member`; false
    // for a drive or member that does not exist.
    bool PlayTrip(size_t trip, size_t member = 0);
    // The drive that plays; null while a single recording (or nothing) plays.
    const TripPlan* PlayingTrip() const { return m_tripPlan ? &*m_tripPlan : nullptr; }
    // Index into Trips() of the drive that plays; -1 for none.
    int PlayingTripIndex() const { return m_playingTrip; }
    // Reads the figures of every drive (TripFigures: distance, top and average speed; from
    // their recordings' telemetry) on a thread of its own; tripFiguresReady tells when they are
    // there. Started again only when the drives changed since.
    void ReadTripFigures();
    // A drive's figures once read; nullopt before, and for an index out of range.
    std::optional<TripFigures> FiguresOf(size_t trip) const;
    // The name of the recording that plays at the current time (the drive's member then);
    // empty when nothing is loaded.
    std::string CurrentRecordingName() const;
    // The local wall-clock time at the current play position: the start of the recording that
    // plays plus the time into it, in seconds on CivilTime's axis; -1 when nothing is loaded.
    int64_t WallClockSeconds() const;

    // ---- Playback ----
    // Opens a recording by name and plays it from its start; nothing without a card.
    void PlayFile(const std::string& name);
    // A double click: the row becomes the current one and plays. False for a row without a
    // name.
    bool PlayRow(int row);
    // PLAY: resumes a loaded recording; otherwise plays the selected row (-1: the first) when
    // it is not the current one, and resumes.
    void Play(int selectedRow);
    // Pause: false when nothing is loaded.
    bool Pause();
    // Resumes a loaded recording after Pause; nothing when none is loaded.
    void Resume();
    void Stop();
    // Quitting: the engine stops, the status tick and the card poll end; the window's state
    // is left as it is (the user may still answer No).
    void Halt();
    // NEXT: the row above the current one; stops after the first row. While a drive plays:
    // the start of its next recording; stops after the last.
    void Next();
    // PRE: the row below the current one; stops after the last row. While a drive plays: the
    // start of the recording that plays (of the one before within its first 3 s).
    void Previous();
    // The card is looked for, every recording listed, and the one with this name played as a
    // double click on its row would. False when there is no such recording.
    bool PlayRecording(const std::string& name);
    // Seeks to a second of the recording (also while paused: the paused picture moves).
    void SeekToSecond(int second);
    // The same to a time in milliseconds (a mark on the slider).
    void SeekToMs(int64_t ms);
    // While the position thumb is dragged: the key frame at or before the second, quickly.
    void ScrubToSecond(int second);
    // Pauses a recording that plays, then moves `frames` frames from the picture on screen
    // (negative: back), front and rear. False (nothing done) when nothing is loaded.
    bool StepFrames(int frames);
    // Playing speed in percent of the recording's pace (25 … 800): the sound keeps its pitch
    // from 50 to 200 and is silent outside. It stays for the recordings played after.
    void SetSpeed(int percent);
    int Speed() const { return m_engine.SpeedPercent(); }
    // 10 seconds back or forward; false (nothing done) when nothing is loaded or the step
    // would leave the recording.
    bool StepBack();
    bool StepForward();

    // The sound output's volume (two 16-bit channels, 0 muted).
    void SetDeviceVolume(uint32_t volume);
    uint32_t DeviceVolume() const { return m_deviceVolume; }
    // Brightness of every camera's picture, -5 … 5.
    void SetBrightness(int level);
    // The camera the window shows large (0-based channel); the engine may decode the others
    // at a lower cost.
    void SetMainCamera(int channel) { m_engine.SetMainCamera(channel); }
    int MainCamera() const { return m_engine.MainCamera(); }

    // ---- Read-outs ----
    bool Loaded() const { return m_engine.StateValue() != CQTRMediaPlayer::kIdle; }
    // A recording is loaded and not paused.
    bool Playing() const { return Loaded() && m_engine.IsRunning(); }
    int64_t CurrentMs() const { return m_engine.CurrentMs(); }
    int64_t DurationSeconds() const { return m_durationSeconds; }
    // The length of what the engine opened last, in milliseconds (a drive's whole line).
    int64_t DurationMs() const { return m_engine.DurationMs(); }
    // Video channels of the recording the engine opened last.
    int ChannelCount() const { return m_engine.ChannelCount(); }
    // The words of the cameras of the recording that plays, in channel order, as its source
    // lists them (SourceRecording::cameras); empty when it lists none or nothing was opened.
    std::vector<std::string> CameraWords() const;
    // The telemetry of the text lines the engine hands out (a card's recording, an AVI file).
    const CTextData& Telemetry() const { return m_telemetry; }
    // The telemetry of the dash-cam folder's recording that plays, looked up by play time;
    // null for a card's recording or an AVI file, and until the recording's files have been
    // read. A new recording gets a new one.
    std::shared_ptr<const TrackTimeline> FolderTrack() const { return m_folderTrack; }
    // Writes the last decoded picture of a channel (0 front, 1 rear, 2 … further cameras) at its
    // recorded size as a JPEG file. False when the channel has no picture or the file could not be
    // written.
    bool SaveSnapshot(int channel, const std::string& path) {
        return m_engine.SaveSnapshot(channel, path);
    }
    // A width × height cut-out of a channel's picture centred on (x, y) of that picture;
    // false when the channel shows nothing.
    bool CutOut(int channel, int x, int y, int width, int height, Picture& out) {
        return m_decoder.GetCutOut(channel, x, y, width, height, out);
    }

signals:
    // The list's names changed (Rows()).
    void rowsChanged();
    // A row became the current one and plays.
    void currentRowChanged(int row);
    // A recording was opened and is about to play; DurationSeconds and ChannelCount tell it.
    void recordingOpened();
    // Playing (true) or paused (false) after a command.
    void playingChanged(bool playing);
    // Playback stopped: nothing loaded, no current row.
    void stopped();
    // The card has gone, or another source took its place: the list is empty, there is no
    // current row, the status is stale.
    void cardRemoved();
    // The loaded recording played to its end; after recordingCutShort when its reading
    // failed before its end.
    void recordingEnded();
    // The recording `name` could not be read to its end (damaged or cut short, or a read
    // error); not sent when the card has gone.
    void recordingCutShort(const QString& name);
    // Every 100 ms while a recording is loaded (after FolderTrack took a track that has been
    // read).
    void statusTick();
    // The figures of the drives have been read (FiguresOf).
    void tripFiguresReady();

private:
    void PlayRowName(int row);
    // Before another recording or drive opens: the engine stopped, the telemetry of what
    // played forgotten, its loading abandoned.
    void Unload();
    // Loads a recording (through parser) or the drive of m_tripPlan (parser null) into the
    // engine and plays it from startMs.
    void OpenAndPlay(const std::string& name, VMediaParser* parser, const std::string& openName,
                     bool telemetryInPackets, int64_t startMs);
    // The dash-cam source to use when there is no card: the given folder or file, else a
    // removable volume with video files; empty for none.
    std::string FindFolderSource() const;
    void OnEngineEnd(bool readFailed);
    void OnStatusTimer();
    static void EngineEvent(void* user, int event, int value, int reserved);
    static void EngineText(void* user, const uint8_t* text, int32_t length, int32_t timeMs);

    const DiagLog* m_diag;
    CTATLibrary m_library;
    std::shared_ptr<VRecordingSource> m_source; // null: none
    std::string m_sourceRoot;                   // the path it was made of
    // The parser the engine last read through stays alive until another takes its place.
    std::shared_ptr<VRecordingSource> m_parserOwner;
    std::unique_ptr<CTripParser> m_tripParser; // the drive that plays, or played last
    CParserSwitch m_parsers{{nullptr, nullptr, nullptr}};
    CDecoder m_decoder;
    std::unique_ptr<VAudio> m_audio;
    CAudioTempo m_tempo;
    CTextData m_telemetry;
    TrackLoader m_trackLoader;                          // the folder recording's telemetry
    std::shared_ptr<const TrackTimeline> m_folderTrack; // once read; null: none
    // Declared last of the engine's parts: it goes first.
    CQTRMediaPlayer m_engine;
    bool m_shutDown = false;

    std::vector<std::string> m_rows;
    std::vector<RecordingList::Row> m_rowTexts;
    int m_currentRow = -1;
    int m_filter = RecordingList::kFilterAll;
    int64_t m_tripGapMs = trips::kDefaultGapMs;
    std::vector<trips::Trip> m_trips;
    std::optional<TripPlan> m_tripPlan; // the drive that plays
    int m_playingTrip = -1;
    // The drives' figures: read on a thread of their own, for the drives of m_figuresFor.
    std::vector<trips::Trip> m_figuresFor;
    std::future<std::vector<std::optional<TripFigures>>> m_figuresLoad;
    std::shared_ptr<std::atomic<bool>> m_figuresCancel;
    std::vector<std::optional<TripFigures>> m_figures;
    QTimer m_figuresTimer; // looks for the figures' end
    int64_t m_durationSeconds = 0;
    std::string m_openName; // the recording opened last
    uint32_t m_deviceVolume = kInitialDeviceVolume;

    QTimer m_cardTimer;   // card poll, every second
    QTimer m_statusTimer; // status tick, every 100 ms while a recording is loaded
};
