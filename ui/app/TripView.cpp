#include "TripView.h"

#include "AppProfile.h"
#include "PlaybackController.h"
#include "StatusPresenter.h"
#include "ui/logic/TrackTimeline.h"
#include "ui/logic/TripRows.h"
#include "ui/widgets/CBitmapSlider.h"
#include "ui/widgets/RecordingListView.h"

#include <QAbstractButton>
#include <QLabel>

#include <algorithm>

TripView::TripView(PlaybackController& controller, StatusPresenter& status, AppProfile& profile,
                   Widgets widgets, std::function<bool()> busy, QObject* parent)
    : QObject(parent), m_controller(controller), m_status(status), m_profile(profile),
      m_widgets(widgets), m_busy(std::move(busy)) {
    m_shown = m_profile.TripView();
    m_unit = m_profile.Unit();
    m_status.SetUnit(m_unit);
    m_widgets.toggle->setCheckable(true);
    m_widgets.toggle->setChecked(m_shown);
    connect(m_widgets.toggle, &QAbstractButton::clicked, this, [this](bool on) {
        if (m_busy())
            m_widgets.toggle->setChecked(m_shown);
        else
            Show(on);
    });
    connect(m_widgets.list, &RecordingListView::tripActivated, this, [this](int row) {
        if (!m_busy())
            PlayListed(row, 0);
    });
    connect(m_widgets.list, &RecordingListView::recordingActivated, this,
            [this](int row, int member) {
                if (!m_busy())
                    PlayListed(row, member);
            });
    connect(m_widgets.position, &CBitmapSlider::markerClicked, this, [this](int second) {
        if (!m_busy() && m_controller.Loaded()) {
            m_controller.SeekToSecond(second);
            m_status.RedrawGraphNext();
            m_status.Refresh();
        }
    });
    connect(&m_controller, &PlaybackController::tripFiguresReady, this, [this] {
        if (m_shown)
            ShowRows();
        UpdateInfo();
    });
}

void TripView::Show(bool drives) {
    m_shown = drives;
    m_profile.SetTripView(drives);
    m_widgets.toggle->setChecked(drives);
    ShowRows();
}

void TripView::ShowRows() {
    if (!m_shown) {
        m_listed.clear();
        m_widgets.list->ShowRows(m_controller.RowTexts());
        return;
    }
    const std::shared_ptr<VRecordingSource> source = m_controller.Source();
    m_listed = m_controller.ListTrips(m_controller.Filter());
    std::vector<TripRow> rows;
    if (source) {
        const std::vector<trips::Trip>& drives = m_controller.Trips();
        for (const size_t t : m_listed) {
            const trips::Trip& trip = drives[t];
            const std::optional<TripFigures> figures = m_controller.FiguresOf(t);
            std::optional<double> km;
            if (figures && figures->hasFixes)
                km = figures->distanceKm;
            // The listing's length until the figures are read: it knows nothing of files whose
            // times tell no length (copied files), which the figures measure from the files.
            const int64_t lengthMs = figures ? figures->durationMs : trip.LengthMs();
            TripRow row =
                TripRows::RowOf(source->Recordings()[trip.members.front()].start, lengthMs,
                                trip.members.size(), km, m_unit, trip.holdsEvents);
            for (const size_t m : trip.members)
                row.members.push_back(source->RowOf(m));
            rows.push_back(std::move(row));
        }
        m_controller.ReadTripFigures();
    }
    m_widgets.list->ShowTrips(rows);
    // The drive that plays stays the selected row, its recording that plays shown.
    const auto playing = std::find(m_listed.begin(), m_listed.end(),
                                   static_cast<size_t>(m_controller.PlayingTripIndex()));
    if (m_controller.PlayingTrip() != nullptr && playing != m_listed.end())
        m_widgets.list->SelectTripMember(
            static_cast<int>(playing - m_listed.begin()),
            std::max(m_controller.PlayingTrip()->MemberAt(m_controller.CurrentMs()), 0));
}

bool TripView::PlayListed(int row, int member) {
    if (row < 0 || static_cast<size_t>(row) >= m_listed.size() || member < 0)
        return false;
    if (!m_controller.PlayTrip(m_listed[static_cast<size_t>(row)], static_cast<size_t>(member)))
        return false;
    m_widgets.list->SelectTripMember(row, member);
    return true;
}

void TripView::RecordingOpened() {
    m_marksTrack = nullptr;
    m_clip.Clear();
    BuildMarks(nullptr);
    UpdateInfo();
}

void TripView::BuildMarks(const TrackTimeline* track) {
    std::vector<TripMarkers::Recording> recordings;
    const std::shared_ptr<VRecordingSource> source = m_controller.Source();
    if (const TripPlan* plan = m_controller.PlayingTrip(); plan != nullptr && source) {
        for (size_t k = 0; k < plan->members.size(); ++k)
            recordings.push_back(
                {plan->OffsetMs(k), source->Recordings()[plan->members[k]].category});
    }
    const int64_t length = m_controller.DurationSeconds() * 1000 + 999;
    const std::vector<TimedAcceleration> none;
    const std::vector<TimedAcceleration>& gsensor =
        track != nullptr ? track->Track().accelerations : none;
    m_marks = TripMarkers(length, recordings, gsensor, m_profile.PeakThresholdG());
    ShowMarks();
}

void TripView::ShowMarks() {
    std::vector<SliderMarker> marks = m_marks.ForSlider(1000);
    if (m_clip.Start())
        marks.push_back({static_cast<int>(*m_clip.Start() / 1000), MarkerKind::ClipIn});
    if (m_clip.End())
        marks.push_back({static_cast<int>(*m_clip.End() / 1000), MarkerKind::ClipOut});
    m_widgets.position->SetMarkers(std::move(marks));
}

void TripView::MarkClipStart() {
    if (!m_controller.Loaded())
        return;
    m_clip.MarkStart(m_controller.CurrentMs());
    ShowMarks();
}

void TripView::MarkClipEnd() {
    if (!m_controller.Loaded())
        return;
    m_clip.MarkEnd(m_controller.CurrentMs());
    ShowMarks();
}

void TripView::Tick() {
    // The list follows the drive from recording to recording.
    if (const TripPlan* plan = m_controller.PlayingTrip(); plan != nullptr && m_shown) {
        const int member = plan->MemberAt(m_controller.CurrentMs());
        const auto row = std::find(m_listed.begin(), m_listed.end(),
                                   static_cast<size_t>(m_controller.PlayingTripIndex()));
        const RecordingListView::TripPlace place = m_widgets.list->SelectedTripMember();
        if (row != m_listed.end() && member >= 0 &&
            place.trip == static_cast<int>(row - m_listed.begin()) && place.member >= 0 &&
            place.member != member)
            m_widgets.list->SelectTripMember(place.trip, member);
    }
    const std::shared_ptr<const TrackTimeline> track = m_controller.FolderTrack();
    if (track && track.get() != m_marksTrack) {
        m_marksTrack = track.get();
        BuildMarks(track.get());
    }
    UpdateInfo();
}

bool TripView::NextMark() {
    return m_controller.Loaded() && GoTo(m_marks.Next(m_controller.CurrentMs()));
}

bool TripView::PreviousMark() {
    return m_controller.Loaded() && GoTo(m_marks.Previous(m_controller.CurrentMs()));
}

bool TripView::GoTo(const std::optional<TripMarkers::Marker>& mark) {
    if (!mark)
        return false;
    m_controller.SeekToMs(mark->timeMs);
    m_status.RedrawGraphNext();
    m_status.Refresh();
    return true;
}

void TripView::ToggleUnit() {
    m_unit = speedunit::Toggle(m_unit);
    m_profile.SetUnit(m_unit);
    m_status.SetUnit(m_unit);
    if (m_shown)
        ShowRows();
    m_status.Refresh();
    UpdateInfo();
}

void TripView::UpdateInfo() {
    QString line;
    if (m_controller.Loaded()) {
        std::optional<TripFigures> figures;
        if (const TripPlan* plan = m_controller.PlayingTrip()) {
            // The drive's own track once it is read, else the figures of the listing.
            if (const std::shared_ptr<const TrackTimeline> track = m_controller.FolderTrack()) {
                if (track.get() != m_figuresTrack) {
                    m_figuresTrack = track.get();
                    // The average over the drive as driven, its gaps included.
                    const auto index = static_cast<size_t>(m_controller.PlayingTripIndex());
                    const int64_t span = index < m_controller.Trips().size()
                                             ? m_controller.Trips()[index].LengthMs()
                                             : 0;
                    m_trackFigures =
                        TripFigures::Of(track->Track(), std::max(span, plan->lengthMs));
                }
                figures = m_trackFigures;
            } else {
                figures =
                    m_controller.FiguresOf(static_cast<size_t>(m_controller.PlayingTripIndex()));
            }
        }
        line = QString::fromStdString(TripRows::PlayLine(m_controller.CurrentRecordingName(),
                                                         m_controller.WallClockSeconds(),
                                                         figures ? &*figures : nullptr, m_unit));
    }
    if (m_widgets.info->text() != line)
        m_widgets.info->setText(line);
}
