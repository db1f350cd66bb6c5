#include "PlaybackController.h"

#include "base/AsciiText.h"
#include "base/DiagLog.h"
#include "sources/MediaOptions.h"
#include "storage/TatCardFinder.h"
#include "ui/logic/RecordingList.h"
#include "ui/logic/StatusText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <utility>

namespace {

// The slots of the parser switch.
enum ParserSlot : size_t { kSourceParser = 0, kTripParser = 1 };

} // namespace

PlaybackController::PlaybackController(Options options, const DiagLog* diag, bool engineDiag,
                                       QObject* parent)
    : QObject(parent), m_diag(diag), m_library([&options] {
          TatCardSource source = TatCardSource::FromCommandLine(options.cardFolder);
          source.scanRemovable = options.scanRemovable;
          return source;
      }()),
      m_audio(AudioOutputFactory(stderr).Make(options.audio)) {
    m_library.SetDiagLog(m_diag);
    m_engine.SetEventCallback(&PlaybackController::EngineEvent, this);
    m_engine.SetTextCallback(&PlaybackController::EngineText, this);
    m_engine.SetParser(&m_parsers);
    if (options.hwdec != HwDecode::kNo)
        m_decoder.SetHwDevices(
            std::make_shared<HwDeviceProvider>(options.hwdec, HwDeviceProvider::ToStream(stderr)));
    m_engine.SetDecoder(&m_decoder);
    m_engine.SetAudio(m_audio.get());
    m_engine.SetTempo(&m_tempo);
    m_engine.SetDiagLog(engineDiag ? m_diag : nullptr);

    m_cardTimer.setInterval(1000);
    connect(&m_cardTimer, &QTimer::timeout, this, &PlaybackController::PollCard);
    m_figuresTimer.setInterval(200);
    connect(&m_figuresTimer, &QTimer::timeout, this, [this] {
        if (!m_figuresLoad.valid() ||
            m_figuresLoad.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            return;
        m_figuresTimer.stop();
        std::vector<std::optional<TripFigures>> figures = m_figuresLoad.get();
        if (m_figuresCancel && m_figuresCancel->load())
            return; // for drives that are no longer listed
        m_figures = std::move(figures);
        emit tripFiguresReady();
    });
    m_statusTimer.setInterval(100);
    connect(&m_statusTimer, &QTimer::timeout, this, &PlaybackController::OnStatusTimer);
}

PlaybackController::~PlaybackController() {
    ShutDown();
}

CQTRMediaPlayer::StartResult PlaybackController::Start(VPictureArea* front, VPictureArea* rear) {
    return Start(std::vector<VPictureArea*>{front, rear});
}

CQTRMediaPlayer::StartResult PlaybackController::Start(const std::vector<VPictureArea*>& areas) {
    CQTRMediaPlayer::StartResult result = m_engine.Start(areas);
    if (result.failed == CQTRMediaPlayer::Part::kAudioOutput) {
        std::fprintf(stderr, "tatview: the sound output did not open; playing without sound\n");
        m_audio = AudioOutputFactory(nullptr).Make(AudioOutputFactory::Choice::Null);
        m_engine.SetAudio(m_audio.get());
        result = m_engine.Start(areas);
    }
    m_cardTimer.start();
    return result;
}

void PlaybackController::ShutDown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_figuresTimer.stop();
    if (m_figuresCancel)
        m_figuresCancel->store(true);
    if (m_figuresLoad.valid())
        m_figuresLoad.wait();
    m_cardTimer.stop();
    m_statusTimer.stop();
    m_engine.Shutdown();
}

void PlaybackController::PollCard() {
    std::string root;
    const bool card = m_library.PollCardDrive() != 0;
    if (card)
        root = m_library.CardRoot();
    if (root.empty())
        root = FindFolderSource();
    // The same path may turn from a card into a folder (its storage gone) and back.
    const bool sameKind =
        m_source != nullptr && (m_source->SourceType() == VRecordingSource::Type::kCard) == card;
    if (root == m_sourceRoot && (root.empty() ? m_source == nullptr : sameKind))
        return;
    const bool swapped = m_source != nullptr && !root.empty();
    // The engine's parser stays alive (m_parserOwner) until another takes its place.
    if (swapped)
        Stop(); // nothing of the old source plays on
    m_sourceRoot = root;
    m_figures.clear();
    m_figuresFor.clear();
    m_source = root.empty() ? nullptr : sources::Open(root, sources::WithMediaParsers(m_diag));
    m_trips = m_source ? m_source->Trips(m_tripGapMs) : std::vector<trips::Trip>{};
    if (m_source) {
        if (swapped) {
            // Another source in place of the one listed: its rows and status no longer hold.
            m_rows.clear();
            m_rowTexts.clear();
            emit rowsChanged();
            emit cardRemoved();
        }
        return;
    }
    m_statusTimer.stop();
    m_rows.clear();
    m_rowTexts.clear();
    m_currentRow = -1;
    SetDeviceVolume(kInitialDeviceVolume);
    emit rowsChanged();
    emit cardRemoved();
}

std::string PlaybackController::FindFolderSource() const {
    const TatCardSource& source = m_library.Source();
    const SourceKind kind = ClassifySource(source.cardFolder);
    if (kind == SourceKind::kFolder || kind == SourceKind::kFile)
        return source.cardFolder;
    if (!source.scanRemovable)
        return {};
    for (const RemovableSource& volume :
         FindRemovableSources(source.mountsFile, source.sysBlockFolder))
        if (!volume.isCard)
            return volume.root;
    return {};
}

std::string PlaybackController::FolderSource() const {
    return m_source && m_source->SourceType() != VRecordingSource::Type::kCard ? m_source->Root()
                                                                               : std::string();
}

void PlaybackController::ListRecordings(int filter) {
    m_filter = filter;
    m_rows.clear();
    m_rowTexts.clear();
    if (m_source) {
        m_trips = m_source->Trips(m_tripGapMs);
        for (const size_t i : m_source->List(filter)) {
            m_rows.push_back(m_source->Recordings()[i].name);
            m_rowTexts.push_back(m_source->RowOf(i));
        }
    }
    emit rowsChanged();
}

std::vector<size_t> PlaybackController::ListTrips(int filter) const {
    std::vector<size_t> listed;
    if (!m_source)
        return listed;
    const std::vector<SourceRecording>& recordings = m_source->Recordings();
    for (size_t t = m_trips.size(); t-- > 0;) {
        const trips::Trip& trip = m_trips[t];
        const bool shown = filter == RecordingList::kFilterAll ||
                           std::any_of(trip.members.begin(), trip.members.end(), [&](size_t m) {
                               return m < recordings.size() && recordings[m].category == filter;
                           });
        if (shown)
            listed.push_back(t);
    }
    return listed;
}

void PlaybackController::OpenAndPlay(const std::string& name, VMediaParser* parser,
                                     const std::string& openName, bool telemetryInPackets,
                                     int64_t startMs) {
    m_openName = name;
    m_parsers.Put(kSourceParser, parser);
    m_parsers.Put(kTripParser, m_tripParser.get());
    m_parsers.Use(m_tripPlan ? kTripParser : kSourceParser);
    m_parserOwner = m_source;
    if (!telemetryInPackets && m_source) {
        const std::shared_ptr<const VRecordingSource> source = m_source;
        if (m_tripPlan) {
            // The drive's tracks, each moved to where its recording starts on the drive.
            m_trackLoader.Start(
                [source, plan = *m_tripPlan] { return tripplan::JoinedTrack(*source, plan); });
        } else {
            m_trackLoader.Start([source, name] { return source->LoadTrack(name); });
        }
    }
    m_engine.Open(openName);
    m_durationSeconds = StatusText::DurationSeconds(m_engine.DurationMs());
    if (startMs > 0)
        m_engine.SeekToMs(startMs);
    emit recordingOpened();
    m_statusTimer.start();
    emit playingChanged(true);
    m_engine.Resume();
}

void PlaybackController::Unload() {
    m_engine.Pause();
    m_engine.Stop();
    m_telemetry.Clear();
    m_trackLoader.Cancel();
    m_folderTrack.reset();
}

void PlaybackController::PlayFile(const std::string& name) {
    if (!m_source)
        return;
    Unload();
    m_tripPlan.reset();
    m_playingTrip = -1;
    std::string openName = name;
    VMediaParser* parser = m_source->EngineParser(name, openName);
    OpenAndPlay(name, parser, openName, m_source->TelemetryInPackets(name), 0);
}

bool PlaybackController::PlayTrip(size_t trip, size_t member) {
    if (!m_source || trip >= m_trips.size() || member >= m_trips[trip].members.size())
        return false;
    Unload();
    m_tripPlan = tripplan::Plan(*m_source, m_trips[trip]);
    m_playingTrip = static_cast<int>(trip);
    // The engine lets go of the drive parser it read before this one is made.
    m_parsers.Put(kTripParser, nullptr);
    m_tripParser = tripplan::MakeParser(m_source, *m_tripPlan);
    if (!m_tripParser) {
        m_tripPlan.reset();
        m_playingTrip = -1;
        return false;
    }
    m_tripParser->Start();
    const std::string& first = m_source->Recordings()[m_tripPlan->members.front()].name;
    OpenAndPlay(first, nullptr, first, m_source->TelemetryInPackets(first),
                m_tripPlan->OffsetMs(member));
    return true;
}

void PlaybackController::ReadTripFigures() {
    if (!m_source)
        return;
    const bool same = m_figuresFor.size() == m_trips.size() &&
                      std::equal(m_figuresFor.begin(), m_figuresFor.end(), m_trips.begin(),
                                 [](const trips::Trip& a, const trips::Trip& b) {
                                     return a.members == b.members;
                                 });
    if (same && (m_figuresLoad.valid() || !m_figures.empty()))
        return;
    if (m_figuresCancel)
        m_figuresCancel->store(true);
    m_figuresFor = m_trips;
    m_figures.clear();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_figuresCancel = cancel;
    const std::shared_ptr<const VRecordingSource> source = m_source;
    m_figuresLoad = std::async(std::launch::async, [source, drives = m_trips, cancel] {
        std::vector<std::optional<TripFigures>> figures(drives.size());
        for (size_t t = 0; t < drives.size() && !cancel->load(); ++t) {
            const TripPlan plan = tripplan::Plan(*source, drives[t]);
            figures[t] = TripFigures::Of(tripplan::JoinedTrack(*source, plan),
                                         std::max(drives[t].LengthMs(), plan.lengthMs));
        }
        return figures;
    });
    m_figuresTimer.start();
}

std::optional<TripFigures> PlaybackController::FiguresOf(size_t trip) const {
    return trip < m_figures.size() ? m_figures[trip] : std::nullopt;
}

std::string PlaybackController::CurrentRecordingName() const {
    if (!Loaded())
        return {};
    if (!m_tripPlan || !m_source)
        return m_openName;
    const int m = m_tripPlan->MemberAt(m_engine.CurrentMs());
    return m < 0 ? std::string()
                 : m_source->Recordings()[m_tripPlan->members[static_cast<size_t>(m)]].name;
}

std::vector<std::string> PlaybackController::CameraWords() const {
    if (!m_source)
        return {};
    // Asked as soon as a recording is opened, before the engine has begun to play it.
    const int index = m_source->Find(Loaded() ? CurrentRecordingName() : m_openName);
    if (index < 0)
        return {};
    return m_source->Recordings()[static_cast<size_t>(index)].cameras;
}

int64_t PlaybackController::WallClockSeconds() const {
    if (!Loaded() || !m_source)
        return -1;
    const int64_t now = std::max<int64_t>(m_engine.CurrentMs(), 0);
    int index = -1;
    int64_t into = now;
    if (m_tripPlan) {
        const int m = m_tripPlan->MemberAt(now);
        if (m >= 0) {
            index = static_cast<int>(m_tripPlan->members[static_cast<size_t>(m)]);
            into = now - m_tripPlan->OffsetMs(static_cast<size_t>(m));
        }
    } else {
        index = m_source->Find(m_openName);
    }
    if (index < 0)
        return -1;
    return m_source->Recordings()[static_cast<size_t>(index)].start.ToSeconds() + into / 1000;
}

bool PlaybackController::PlayRow(int row) {
    if (row < 0 || row >= static_cast<int>(m_rows.size()) ||
        m_rows[static_cast<size_t>(row)].empty())
        return false;
    m_currentRow = row;
    PlayFile(m_rows[static_cast<size_t>(row)]);
    emit playingChanged(true);
    emit currentRowChanged(row);
    return true;
}

void PlaybackController::Play(int selectedRow) {
    const int rows = static_cast<int>(m_rows.size());
    if (Loaded() && rows > 0) {
        emit playingChanged(true);
        m_engine.Resume();
        return;
    }
    if (rows == 0)
        return;
    const int row = selectedRow < 0 ? 0 : selectedRow;
    if (row != m_currentRow) {
        m_currentRow = row;
        PlayFile(row < rows ? m_rows[static_cast<size_t>(row)] : std::string());
    }
    // The row stays the current one, also when it is the last row of the list.
    emit currentRowChanged(m_currentRow);
    emit playingChanged(true);
    m_engine.Resume();
}

bool PlaybackController::Pause() {
    if (!Loaded())
        return false;
    emit playingChanged(false);
    m_engine.Pause();
    return true;
}

void PlaybackController::Resume() {
    if (!Loaded())
        return;
    emit playingChanged(true);
    m_engine.Resume();
}

std::string PlaybackController::StorageFolder() {
    return m_source ? m_source->StorageFolder() : std::string();
}

void PlaybackController::Stop() {
    m_engine.Pause();
    m_engine.Stop();
    m_statusTimer.stop();
    m_currentRow = -1;
    emit stopped();
}

void PlaybackController::Halt() {
    m_engine.Stop();
    m_statusTimer.stop();
    m_cardTimer.stop();
}

void PlaybackController::Next() {
    if (m_tripPlan && Loaded()) {
        const int m = m_tripPlan->MemberAt(m_engine.CurrentMs());
        if (m >= 0 && static_cast<size_t>(m) + 1 < m_tripPlan->members.size())
            m_engine.SeekToMs(m_tripPlan->OffsetMs(static_cast<size_t>(m) + 1));
        else
            Stop();
        return;
    }
    if (m_currentRow <= 0) {
        Stop();
        return;
    }
    const int row = m_currentRow - 1;
    if (row < static_cast<int>(m_rows.size()))
        PlayRowName(row);
}

void PlaybackController::Previous() {
    if (m_tripPlan && Loaded()) {
        const int64_t now = m_engine.CurrentMs();
        const int m = std::max(m_tripPlan->MemberAt(now), 0);
        const bool intoIt = now - m_tripPlan->OffsetMs(static_cast<size_t>(m)) >= 3000;
        m_engine.SeekToMs(m_tripPlan->OffsetMs(static_cast<size_t>(intoIt || m == 0 ? m : m - 1)));
        return;
    }
    const int row = m_currentRow + 1;
    if (row >= static_cast<int>(m_rows.size())) {
        Stop();
        return;
    }
    PlayRowName(row);
}

void PlaybackController::PlayRowName(int row) {
    m_currentRow = row;
    const std::string& name = m_rows[static_cast<size_t>(row)];
    if (name.empty())
        return;
    emit currentRowChanged(row);
    PlayFile(name);
}

bool PlaybackController::PlayRecording(const std::string& name) {
    PollCard();
    ListRecordings(RecordingList::kFilterAll);
    const auto found = std::find(m_rows.begin(), m_rows.end(), name);
    return found != m_rows.end() && PlayRow(static_cast<int>(found - m_rows.begin()));
}

void PlaybackController::SeekToSecond(int second) {
    m_engine.SeekToMs(static_cast<int64_t>(second) * 1000);
}

void PlaybackController::SeekToMs(int64_t ms) {
    m_engine.SeekToMs(std::max<int64_t>(ms, 0));
}

void PlaybackController::ScrubToSecond(int second) {
    if (Loaded())
        m_engine.ScrubToMs(static_cast<int64_t>(second) * 1000);
}

bool PlaybackController::StepFrames(int frames) {
    if (!Loaded() || frames == 0)
        return false;
    if (m_engine.IsRunning())
        Pause();
    m_engine.StepFrames(frames);
    return true;
}

void PlaybackController::SetSpeed(int percent) {
    m_engine.SetSpeedPercent(percent);
}

bool PlaybackController::StepBack() {
    if (!Loaded() || m_engine.CurrentMs() <= 10000)
        return false;
    m_engine.StepBackward(10);
    return true;
}

bool PlaybackController::StepForward() {
    if (!Loaded() || static_cast<int64_t>(m_engine.DurationMs()) - m_engine.CurrentMs() <= 10000)
        return false;
    m_engine.StepForward(10);
    return true;
}

void PlaybackController::SetDeviceVolume(uint32_t volume) {
    m_deviceVolume = volume;
    if (m_audio)
        m_audio->SetVolume(volume);
}

void PlaybackController::SetBrightness(int level) {
    for (int channel = 0; channel < CQTRMediaPlayer::kMaxCameras; ++channel)
        m_engine.SetBrightness(channel, level);
}

void PlaybackController::OnEngineEnd(bool readFailed) {
    TATV_DIAG(m_diag, "Media End Recv [%d]\n", CQTRMediaPlayer::kEventEnd);
    if (readFailed) {
        // A card pulled out is told by the card's own signal, not as a read error.
        PollCard();
        if (m_source)
            emit recordingCutShort(QString::fromStdString(m_openName));
    }
    emit recordingEnded();
}

void PlaybackController::OnStatusTimer() {
    if (std::optional<TelemetryTrack> track = m_trackLoader.Take())
        m_folderTrack = std::make_shared<const TrackTimeline>(std::move(*track));
    emit statusTick();
}

void PlaybackController::EngineEvent(void* user, int event, int, int) {
    auto* self = static_cast<PlaybackController*>(user);
    if (event != CQTRMediaPlayer::kEventEnd)
        return;
    // The worker thread, right after its last read: the parser in use (the card's, a folder's
    // or an AVI file's) still tells how it ended.
    const bool failed = self->m_parsers.LastReadEnd() == ReadEnd::kFailed;
    QMetaObject::invokeMethod(
        self, [self, failed] { self->OnEngineEnd(failed); }, Qt::QueuedConnection);
}

void PlaybackController::EngineText(void* user, const uint8_t* text, int32_t length,
                                    int32_t timeMs) {
    auto* self = static_cast<PlaybackController*>(user);
    self->m_telemetry.OnTextPacket(text, static_cast<size_t>(std::max(length, 0)), timeMs);
}
