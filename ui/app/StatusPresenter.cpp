#include "StatusPresenter.h"

#include "PlaybackController.h"
#include "base/DiagLog.h"
#include "telemetry/CGSensorData.h"
#include "ui/logic/CarReadout.h"
#include "ui/logic/GraphSeries.h"
#include "ui/logic/GraphWindow.h"
#include "ui/logic/MapUpdateRule.h"
#include "ui/logic/StatusText.h"
#include "ui/logic/TrackTimeline.h"
#include "ui/widgets/CBitmapSlider.h"
#include "ui/widgets/CGraphStatic.h"
#include "ui/widgets/CMapView.h"
#include "ui/widgets/CarReadoutWidget.h"

#include <QApplication>
#include <QLabel>

#include <algorithm>

namespace {

// Where each axis' zero lies on the graph (x, y, z), in G-sensor units.
constexpr double kGraphZeroX = 150;
constexpr double kGraphZeroY = 100;
constexpr double kGraphZeroZ = 50;

GeoPoint PositionOf(const CGPSData& fix) {
    return GeoPoint{fix.LatitudeDegrees(), fix.LongitudeDegrees()};
}

} // namespace

StatusPresenter::StatusPresenter(const PlaybackController& controller, Widgets widgets,
                                 const DiagLog* diag, QObject* parent)
    : QObject(parent), m_controller(controller), m_widgets(widgets), m_diag(diag) {
    CGraphStatic* graph = m_widgets.graph;
    graph->SetYRange(200, 50);
    graph->SetXStep(13);
    graph->SetGrid(true);
    m_seriesX = graph->AddSeries(0xFF0000, 1);
    m_seriesY = graph->AddSeries(0x00FFFF, 1);
    m_seriesZ = graph->AddSeries(0x0000FF, 1);
    // The speed over the axes: white, 160 km/h at the top.
    graph->SetSpeedLine(0xFFFFFF, 1, 160.0);
}

void StatusPresenter::SetUnit(SpeedUnit unit) {
    m_unit = unit;
}

QString StatusPresenter::NoSpeedText() const {
    return m_unit == SpeedUnit::kMph ? QStringLiteral("mph") : QStringLiteral("Km/h");
}

void StatusPresenter::ClearTelemetry() {
    m_widgets.speed->setText(NoSpeedText());
    m_graphDrawnCount = 0;
    for (int series : {m_seriesX, m_seriesY, m_seriesZ})
        m_widgets.graph->ClearSeries(series);
    m_widgets.graph->SetSpeeds({});
    m_widgets.graph->SetXSpan(0);
    m_widgets.graph->Redraw();
    m_widgets.map->ClearRoute();
    m_mapDrawn.reset();
    m_route.Reset();
    m_track.reset();
    m_widgets.map->LoadMapPage();
    m_widgets.mapSizeButton->setEnabled(false);
    if (m_widgets.carReadout != nullptr)
        m_widgets.carReadout->Show(CarReadout{});
}

void StatusPresenter::RecordingOpened() {
    ClearTelemetry();
    const int64_t duration = m_controller.DurationSeconds();
    m_widgets.position->SetRange(0, static_cast<int>(std::min<int64_t>(duration, INT32_MAX)));
    m_widgets.length->setText(QString::fromStdString(StatusText::TimeText(duration)));
}

void StatusPresenter::CardRemoved() {
    ClearTelemetry();
    Reset();
}

void StatusPresenter::Tick() {
    if (!(QApplication::mouseButtons() & Qt::LeftButton) || m_widgets.position->IsDragging())
        Refresh();
}

void StatusPresenter::Reset() {
    m_widgets.position->SetPos(0);
    UpdateTimeTexts(0, 0);
}

void StatusPresenter::UpdateTimeTexts(int64_t currentSeconds, int64_t lengthSeconds) {
    const QString now = QString::fromStdString(StatusText::TimeText(currentSeconds));
    const QString total = QString::fromStdString(StatusText::TimeText(lengthSeconds));
    if (m_widgets.currentTime->text() != now)
        m_widgets.currentTime->setText(now);
    if (m_widgets.length->text() != total)
        m_widgets.length->setText(total);
}

void StatusPresenter::Refresh() {
    const int64_t t = m_controller.CurrentMs() / 1000;
    // The thumb moves once a second: repainting it (and the skin under it) on every tick
    // would draw the same picture ten times.
    const int position = static_cast<int>(std::min<int64_t>(t, INT32_MAX));
    CBitmapSlider* slider = m_widgets.position;
    if (!slider->IsDragging() && slider->GetPos() != position)
        slider->SetPos(position);
    UpdateTimeTexts(t, m_controller.DurationSeconds());
    if (!m_controller.Loaded())
        return;
    if (std::shared_ptr<const TrackTimeline> track = m_controller.FolderTrack()) {
        RefreshFromTrack(track, m_controller.CurrentMs());
        return;
    }
    CGPSData fix;
    std::optional<NewestFix> newest;
    if (m_controller.Telemetry().NewestFix(fix))
        newest = NewestFix{fix.valid != 0, PositionOf(fix)};
    const MapRefresh map = MapRefreshFor(newest);
    // Fixes come once a second; the page is only asked to redraw for a new one that belongs
    // on the route.
    if (map.moveMarker && !(m_mapDrawn && map.position == *m_mapDrawn) &&
        m_route.Draw(fix, map.position, m_controller.CurrentMs())) {
        m_mapDrawn = map.position;
        m_widgets.map->ShowPosition(map.position.latitude, map.position.longitude);
    }
    if (map.revealMap) {
        TATV_DIAG(m_diag, "GPS Data => %f, %f\n", fix.LatitudeDegrees(), fix.LongitudeDegrees());
        RevealMap();
        SetSpeedText(QString::fromStdString(StatusText::SpeedText(fix.GetSpeed(), m_unit)));
    }
    UpdateGraph(t);
}

void StatusPresenter::RefreshFromTrack(const std::shared_ptr<const TrackTimeline>& track,
                                       int64_t playMs) {
    if (track != m_track) {
        // Just read: the whole route at once.
        m_track = track;
        std::vector<GeoPoint> route;
        route.reserve(track->Route().size());
        for (const TimedFix& timed : track->Route())
            route.push_back(PositionOf(timed.fix));
        m_widgets.map->SetRoute(route);
        m_graphDrawnCount = 0;
    }

    const TimedFix* current = track->FixAt(playMs);
    std::optional<NewestFix> fix;
    if (current != nullptr)
        fix = NewestFix{current->fix.valid != 0, PositionOf(current->fix)};
    // The car's speedometer, where the car wrote its data, before the receiver's speed.
    const std::optional<double> carKmh = CarReadout::SpeedKmhAt(track.get(), playMs);
    if (MapRefreshFor(fix).revealMap) {
        RevealMap();
        SetSpeedText(QString::fromStdString(
            StatusText::SpeedText(carKmh.value_or(current->fix.GetSpeed()), m_unit)));
    } else if (carKmh) {
        SetSpeedText(QString::fromStdString(StatusText::SpeedText(*carKmh, m_unit)));
    } else {
        SetSpeedText(NoSpeedText());
    }
    if (m_widgets.carReadout != nullptr)
        m_widgets.carReadout->Show(CarReadout::At(track.get(), playMs, m_unit));
    // The marker stays on the route: an impossible fix does not move it.
    if (const TimedFix* onRoute = track->RouteFixAt(playMs)) {
        const GeoPoint position = PositionOf(onRoute->fix);
        if (!(m_mapDrawn && *m_mapDrawn == position)) {
            m_mapDrawn = position;
            m_widgets.map->DrawCurrentPosition(position.latitude, position.longitude);
        }
    }

    // The graph moves on once a second, and at once after a seek to another second.
    const int64_t shown = playMs < 0 ? 0 : playMs / 1000 + 1;
    if (shown == m_graphDrawnCount)
        return;
    m_graphDrawnCount = shown;
    // The last minute: the G-forces and the speed (km/h, however the speed text reads).
    const GraphWindow window = GraphWindowAt(*track, playMs);
    m_widgets.graph->SetXSpan(GraphWindow::kSeconds);
    m_widgets.graph->SetSpeeds(window.speedsKmh);
    std::vector<double> xs, ys, zs;
    for (const TimedAcceleration& sample : window.samples) {
        xs.push_back(sample.x * CGSensorData::kUnitsPerG + kGraphZeroX);
        ys.push_back(sample.y * CGSensorData::kUnitsPerG + kGraphZeroY);
        zs.push_back(sample.z * CGSensorData::kUnitsPerG + kGraphZeroZ);
    }
    ShowGraph(xs, ys, zs);
}

void StatusPresenter::SetSpeedText(const QString& text) {
    if (m_widgets.speed->text() != text)
        m_widgets.speed->setText(text);
}

void StatusPresenter::RevealMap() {
    m_widgets.map->setEnabled(true);
    m_widgets.mapSizeButton->setEnabled(true);
    emit mapRevealed();
}

void StatusPresenter::UpdateGraph(int64_t currentSeconds) {
    const CTextData& telemetry = m_controller.Telemetry();
    const int64_t count =
        StatusText::GraphCount(currentSeconds, static_cast<int64_t>(telemetry.SensorCount()));
    if (count == 0 || count == m_graphDrawnCount)
        return;
    m_graphDrawnCount = count;
    const std::vector<CGSensorData> samples = telemetry.SensorSamples();
    std::vector<double> xs, ys, zs;
    for (int64_t j = 0; j < count && j < static_cast<int64_t>(samples.size()); ++j) {
        const CGSensorData& sample = samples[static_cast<size_t>(j)];
        xs.push_back(sample.x + kGraphZeroX);
        ys.push_back(sample.y + kGraphZeroY);
        zs.push_back(sample.z + kGraphZeroZ);
    }
    ShowGraph(xs, ys, zs);
}

void StatusPresenter::ShowGraph(const std::vector<double>& xs, const std::vector<double>& ys,
                                const std::vector<double>& zs) {
    // One picture for the three series, not one per series.
    m_widgets.graph->SetSamples(m_seriesX, xs);
    m_widgets.graph->SetSamples(m_seriesY, ys);
    m_widgets.graph->SetSamples(m_seriesZ, zs);
    m_widgets.graph->Redraw();
}
