#pragma once

#include "telemetry/SpeedUnit.h"
#include "telemetry/TripFigures.h"
#include "ui/logic/ClipMarks.h"
#include "ui/logic/TripMarkers.h"

#include <QObject>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AppProfile;
class CBitmapSlider;
class PlaybackController;
class QAbstractButton;
class QLabel;
class RecordingListView;
class StatusPresenter;
class TrackTimeline;

// The window's drives: the list's trip view (the toggle beside the filters, kept in the
// profile), playing a drive or a recording within one from it, the marks on the position
// slider (event, manual and parking recordings, G-force peaks) and the keys that go from
// mark to mark, the unit of speeds and distances (the `u` key, kept in the profile), and the
// line under the title that names the recording that plays, its wall-clock time and the
// drive's figures.
//
// Threads: GUI thread. The controller, the widgets, the presenter and the profile outlive it.
class TripView final : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        RecordingListView* list;
        QAbstractButton* toggle;
        CBitmapSlider* position;
        QLabel* info;
    };
    // busy: whether the window ignores commands (a download runs).
    TripView(PlaybackController& controller, StatusPresenter& status, AppProfile& profile,
             Widgets widgets, std::function<bool()> busy, QObject* parent = nullptr);

    bool Shown() const { return m_shown; }
    // The list shows drives (true) or recordings; kept in the profile.
    void Show(bool drives);
    // The controller's rows changed: the list shows them, as drives when the view is on.
    void ShowRows();
    // Plays listed drive `row` from the start of its member `member`.
    bool PlayListed(int row, int member);
    // The listed drive rows, as indexes into the controller's Trips().
    const std::vector<size_t>& Listed() const { return m_listed; }

    // A recording or drive was opened: the slider's marks anew.
    void RecordingOpened();
    // The status tick: the G-force marks once the track is read, the line under the title.
    void Tick();
    // The next or previous mark from the time played; false when there is none.
    bool NextMark();
    bool PreviousMark();
    const TripMarkers& Marks() const { return m_marks; }

    // "i" and "o": the clip's start and end at the time played, shown on the slider; they go
    // when another recording or drive opens.
    void MarkClipStart();
    void MarkClipEnd();
    const ClipMarks& Clip() const { return m_clip; }

    SpeedUnit Unit() const { return m_unit; }
    // The `u` key: the other unit, kept in the profile; texts follow at once.
    void ToggleUnit();

private:
    void BuildMarks(const TrackTimeline* track);
    // The slider's marks: the drive's and the clip's.
    void ShowMarks();
    // Seeks to the mark; false for none.
    bool GoTo(const std::optional<TripMarkers::Marker>& mark);
    void UpdateInfo();

    PlaybackController& m_controller;
    StatusPresenter& m_status;
    AppProfile& m_profile;
    Widgets m_widgets;
    std::function<bool()> m_busy;
    bool m_shown = false;
    std::vector<size_t> m_listed;
    TripMarkers m_marks;
    ClipMarks m_clip;
    const TrackTimeline* m_marksTrack = nullptr; // the track the G-force marks came from
    SpeedUnit m_unit = SpeedUnit::kKmh;
    const TrackTimeline* m_figuresTrack = nullptr; // the track m_trackFigures came from
    TripFigures m_trackFigures;
};
