#include "StatusPresenter.h"

#include "PlaybackController.h"
#include "base/DiagLog.h"
#include "ui/logic/MapUpdateRule.h"
#include "ui/logic/StatusText.h"
#include "ui/widgets/CBitmapSlider.h"
#include "ui/widgets/CGraphStatic.h"
#include "ui/widgets/CMapView.h"

#include <QApplication>
#include <QLabel>

#include <algorithm>
#include <vector>

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
}

void StatusPresenter::ClearTelemetry() {
    m_widgets.speed->setText(QStringLiteral("Km/h"));
    m_graphDrawnCount = 0;
    for (int series : {m_seriesX, m_seriesY, m_seriesZ})
        m_widgets.graph->ClearSeries(series);
    m_widgets.graph->Redraw();
    m_widgets.map->ClearRoute();
    m_mapDrawn.reset();
    m_route.Reset();
    m_widgets.map->LoadMapPage();
    m_widgets.mapSizeButton->setEnabled(false);
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
    CGPSData fix;
    std::optional<NewestFix> newest;
    if (m_controller.Telemetry().NewestFix(fix))
        newest = NewestFix{fix.valid != 0, GeoPoint{fix.LatitudeDegrees(), fix.LongitudeDegrees()}};
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
        m_widgets.map->setEnabled(true);
        m_widgets.mapSizeButton->setEnabled(true);
        emit mapRevealed();
        m_widgets.speed->setText(QString::fromStdString(StatusText::SpeedText(fix.GetSpeed())));
    }
    UpdateGraph(t);
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
        xs.push_back(sample.x + 150);
        ys.push_back(sample.y + 100);
        zs.push_back(sample.z + 50);
    }
    // One picture for the three series, not one per series.
    m_widgets.graph->SetSamples(m_seriesX, xs);
    m_widgets.graph->SetSamples(m_seriesY, ys);
    m_widgets.graph->SetSamples(m_seriesZ, zs);
    m_widgets.graph->Redraw();
}
