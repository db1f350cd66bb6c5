#include "PlaybackController.h"

#include "base/AsciiText.h"
#include "base/DiagLog.h"
#include "storage/QuickDuration.h"
#include "storage/TatCardFinder.h"
#include "ui/logic/RecordingList.h"
#include "ui/logic/StatusText.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

namespace {

// The parsers behind the switch.
enum ParserSlot : size_t { kCardParser = 0, kDashcamParser = 1, kAviParser = 2 };

} // namespace

PlaybackController::PlaybackController(Options options, const DiagLog* diag, bool engineDiag,
                                       QObject* parent)
    : QObject(parent), m_diag(diag), m_library([&options] {
          TatCardSource source = TatCardSource::FromCommandLine(options.cardFolder);
          source.scanRemovable = options.scanRemovable;
          return source;
      }()),
      m_parser(&m_library), m_audio(AudioOutputFactory(stderr).Make(options.audio)) {
    m_library.SetDiagLog(m_diag);
    m_parser.SetDiagLog(m_diag);
    m_engine.SetEventCallback(&PlaybackController::EngineEvent, this);
    m_engine.SetTextCallback(&PlaybackController::EngineText, this);
    m_engine.SetParser(&m_parsers);
    m_engine.SetDecoder(&m_decoder);
    m_engine.SetAudio(m_audio.get());
    m_engine.SetTempo(&m_tempo);
    m_engine.SetDiagLog(engineDiag ? m_diag : nullptr);

    m_cardTimer.setInterval(1000);
    connect(&m_cardTimer, &QTimer::timeout, this, &PlaybackController::PollCard);
    m_statusTimer.setInterval(100);
    connect(&m_statusTimer, &QTimer::timeout, this, &PlaybackController::OnStatusTimer);
}

PlaybackController::~PlaybackController() {
    ShutDown();
}

CQTRMediaPlayer::StartResult PlaybackController::Start(VPictureArea* front, VPictureArea* rear) {
    CQTRMediaPlayer::StartResult result = m_engine.Start(front, rear);
    if (result.failed == CQTRMediaPlayer::Part::kAudioOutput) {
        std::fprintf(stderr, "tatview: the sound output did not open; playing without sound\n");
        m_audio = AudioOutputFactory(nullptr).Make(AudioOutputFactory::Choice::Null);
        m_engine.SetAudio(m_audio.get());
        result = m_engine.Start(front, rear);
    }
    m_cardTimer.start();
    return result;
}

void PlaybackController::ShutDown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_cardTimer.stop();
    m_statusTimer.stop();
    m_engine.Shutdown();
}

void PlaybackController::PollCard() {
    uint8_t drive = m_library.PollCardDrive();
    std::string folder;
    if (drive == 0) {
        folder = FindFolderSource();
        drive = folder.empty() ? 0 : 1;
    }
    if (drive == m_cardDrive && folder == m_folder)
        return;
    const bool swapped = m_cardDrive != 0 && drive != 0;
    m_cardDrive = drive;
    m_folder = folder;
    if (drive != 0) {
        if (swapped) {
            // Another source in place of the one listed: its rows and status no longer hold.
            Stop();
            m_rows.clear();
            m_rowTexts.clear();
            emit rowsChanged();
            emit cardRemoved();
        }
        if (m_folder.empty())
            m_library.MountCard();
        else
            LoadFolder();
        return;
    }
    m_recordings.clear();
    m_damaged.clear();
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

void PlaybackController::LoadFolder() {
    if (ClassifySource(m_folder) == SourceKind::kFile)
        m_recordings = {folderscan::SingleFile(m_folder)};
    else
        m_recordings = folderscan::Scan(m_folder);
    m_damaged.assign(m_recordings.size(), -1);
    m_dashcamParser.SetRecordings(m_recordings);
}

bool PlaybackController::Damaged(size_t recording) {
    if (m_damaged[recording] < 0) {
        bool damaged = false;
        for (const std::string& file : m_recordings[recording].channels)
            if (!file.empty() && !ascii::HasExtension(file, "avi"))
                damaged = damaged || QuickDuration::OfFile(file).damaged;
        m_damaged[recording] = damaged ? 1 : 0;
    }
    return m_damaged[recording] == 1;
}

const DashcamRecording* PlaybackController::FolderRecording(const std::string& name) const {
    return m_folder.empty() ? nullptr : folderscan::Find(m_recordings, name);
}

void PlaybackController::ListRecordings(int filter) {
    m_rows.clear();
    m_rowTexts.clear();
    if (m_folder.empty()) {
        m_rows = RecordingList::ListNames(m_library, m_cardDrive, filter);
        for (const std::string& name : m_rows)
            m_rowTexts.push_back(RecordingList::RowOfName(name));
        emit rowsChanged();
        return;
    }
    // Newest first: by category as the card's list within one filter, by time for all.
    std::vector<size_t> order;
    for (size_t i = 0; i < m_recordings.size(); ++i)
        if (filter == RecordingList::kFilterAll || m_recordings[i].category == filter)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        return m_recordings[a].start.ToSeconds() > m_recordings[b].start.ToSeconds();
    });
    for (const size_t i : order) {
        m_rows.push_back(m_recordings[i].name);
        m_rowTexts.push_back(RecordingList::RowOfRecording(m_recordings[i], Damaged(i)));
    }
    emit rowsChanged();
}

void PlaybackController::PlayFile(const std::string& name) {
    if (m_cardDrive == 0)
        return;
    m_engine.Pause();
    m_engine.Stop();
    m_telemetry.Clear();
    m_trackLoader.Cancel();
    m_folderTrack.reset();
    m_openName = name;
    // The parser of the source, chosen while nothing is open.
    std::string target = name;
    if (m_folder.empty()) {
        m_parsers.Use(kCardParser);
    } else {
        const DashcamRecording* recording = FolderRecording(name);
        const bool avi = recording != nullptr && recording->ChannelCount() == 1 &&
                         ascii::HasExtension(recording->FirstPicture(), "avi");
        m_parsers.Use(avi ? kAviParser : kDashcamParser);
        if (avi)
            target = recording->FirstPicture();
        else // the files the dash-cam parser opens for this name
            m_trackLoader.Start(recording != nullptr ? recording->AllFiles()
                                                     : folderscan::SingleFile(name).AllFiles());
    }
    m_engine.Open(target);
    m_durationSeconds = StatusText::DurationSeconds(m_engine.DurationMs());
    emit recordingOpened();
    m_statusTimer.start();
    emit playingChanged(true);
    m_engine.Resume();
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
    if (!m_folder.empty())
        return {};
    const std::string root = m_library.CardRoot();
    return root.empty() ? root : root + "/" + tat::kStoreFolder;
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
    if (m_currentRow <= 0) {
        Stop();
        return;
    }
    const int row = m_currentRow - 1;
    if (row < static_cast<int>(m_rows.size()))
        PlayRowName(row);
}

void PlaybackController::Previous() {
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
    m_engine.SetBrightness(0, level);
    m_engine.SetBrightness(1, level);
}

void PlaybackController::OnEngineEnd(bool readFailed) {
    TATV_DIAG(m_diag, "Media End Recv [%d]\n", CQTRMediaPlayer::kEventEnd);
    if (readFailed) {
        // A card pulled out is told by the card's own signal, not as a read error.
        PollCard();
        if (m_cardDrive != 0)
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
