#pragma once
#include "telemetry/SpeedUnit.h"
#include "ui/logic/GeoPoint.h"
#include "ui/logic/RouteGate.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class CBitmapSlider;
class CarReadoutWidget;
class CGraphStatic;
class CMapView;
class DiagLog;
class PlaybackController;
class QLabel;
class QWidget;
class TrackTimeline;

// What the window shows of the recording that plays: the elapsed and total time texts, the
// position thumb, the speed, the three G-sensor curves (x, y, z) and the map's marker and
// route. It reads the playback controller and draws into the window's widgets, which the
// window owns and lays out.
//
// A card's recording (and an AVI file) shows what its text lines brought so far: the newest
// fix's speed and position, the route of the fixes seen, one G-sensor sample a second. A
// dash-cam folder's recording, whose telemetry is read whole (PlaybackController::FolderTrack),
// shows what is current at the play time: the speed of the fix at or before it, the marker on
// the route's fix at or before it, the graph's last minute of samples and speeds up to it
// (GraphWindowAt), and the whole route from the start (a drive's whole route). A car's
// recording (its own driving data with each picture) also shows the car readout of the state
// at or before the play time, and the car's speed in place of the receiver's in the speed
// text; other recordings hide the readout. The graph's values
// are in the card's G-sensor units (CGSensorData::kUnitsPerG to the g), unrounded for a folder's
// samples.
//
// Threads: GUI thread.
class StatusPresenter final : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QLabel* currentTime;
        QLabel* length;
        QLabel* speed;
        CBitmapSlider* position;
        CGraphStatic* graph;
        CMapView* map;
        QWidget* mapSizeButton;
        CarReadoutWidget* carReadout = nullptr; // the car's own data; null: not shown
    };

    // Sets up the graph's scale and its three series. controller, the widgets and diag must
    // outlive the presenter.
    StatusPresenter(const PlaybackController& controller, Widgets widgets, const DiagLog* diag,
                    QObject* parent = nullptr);

    // A recording was opened: speed "Km/h", the graph emptied, the total time and the
    // position's range, the route forgotten and the map page loaded anew, the map-size button
    // disabled until the first valid fix.
    void RecordingOpened();
    // One status refresh: time texts and thumb; while a recording is loaded, the map, the
    // speed and the graph.
    void Refresh();
    // The status timer's tick: a refresh, unless a mouse button is held on anything but the
    // position thumb (whose drag the time texts follow, the thumb staying under the pointer).
    void Tick();
    // The card has gone: the speed, the graph and the map as before the first recording, both
    // time texts 00:00:00 and the thumb at the start.
    void CardRemoved();
    // Nothing plays: both time texts 00:00:00 and the thumb at the start.
    void Reset();
    void UpdateTimeTexts(int64_t currentSeconds, int64_t lengthSeconds);
    // The unit of the speed text (the graph's speed line stays in km/h).
    void SetUnit(SpeedUnit unit);
    // The next refresh redraws the graph even when its sample count did not change.
    void RedrawGraphNext() { m_graphDrawnCount = 0; }

    // The graph's series ids: x, y, z.
    std::array<int, 3> GraphSeries() const { return {m_seriesX, m_seriesY, m_seriesZ}; }

signals:
    // The first valid fix of a recording: the map and its size button are enabled; the
    // window gives a hidden map its small slot.
    void mapRevealed();

private:
    // Speed "Km/h", the graph emptied, the route forgotten and the map page loaded anew, the
    // map-size button disabled until the next valid fix.
    void ClearTelemetry();
    void UpdateGraph(int64_t currentSeconds);
    // The refresh of a folder recording's telemetry at the play time.
    void RefreshFromTrack(const std::shared_ptr<const TrackTimeline>& track, int64_t playMs);
    void ShowGraph(const std::vector<double>& xs, const std::vector<double>& ys,
                   const std::vector<double>& zs);
    void SetSpeedText(const QString& text);
    // The speed text without a fix: the unit's name.
    QString NoSpeedText() const;
    void RevealMap();

    const PlaybackController& m_controller;
    Widgets m_widgets;
    const DiagLog* m_diag;
    int m_seriesX = 0;
    int m_seriesY = 0;
    int m_seriesZ = 0;
    // What the graph shows: the card's sample count, or a folder's newest second + 1; 0 draws
    // anew.
    int64_t m_graphDrawnCount = 0;
    std::optional<GeoPoint> m_mapDrawn;           // the position the map was last asked to show
    RouteGate m_route;                            // keeps impossible fixes off the route
    std::shared_ptr<const TrackTimeline> m_track; // the folder track shown; null: none yet
    SpeedUnit m_unit = SpeedUnit::kKmh;
};
