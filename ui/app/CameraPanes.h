#pragma once
#include "ui/logic/CameraGrid.h"
#include "ui/logic/MainLayout.h"
#include "ui/logic/PaneLayout.h"

#include <QObject>

#include <array>
#include <string>
#include <vector>

class AppProfile;
class PictureWidget;
class PlaybackController;
class QWidget;
class VPictureArea;

// The window's picture widgets, one per camera (cameragrid::kMaxCameras; channel 0 the front,
// 1 the rear or back), and the grid of a recording with more than two cameras: which camera
// is the main (large) one, where every picture goes (cameragrid::Layout), and the choice of
// the main camera by a click on its picture or by the window's digit keys. The main camera is
// kept in the profile by its word (section "Cameras", key "Main") and told to the engine.
//
// One- and two-camera recordings leave the front and rear pictures to the window's own pane
// layout (PaneLayout.h); the further pictures are then hidden.
//
// Threads: GUI thread. The pictures are children of the window and outlive the engine's
// shutdown with it; the controller and the profile outlive the panes.
class CameraPanes final : public QObject {
    Q_OBJECT
public:
    CameraPanes(PlaybackController& controller, AppProfile& profile, QWidget* window);

    PictureWidget* Picture(int channel) const;
    // Every picture as the engine takes them (areas[c] shows channel c).
    std::vector<VPictureArea*> Areas() const;
    std::vector<const PictureWidget*> Pictures() const;

    // A recording opened with `cameras` cameras (the engine's channels) whose source listed
    // these words (SourceRecording::cameras; empty: none). Every picture is cleared; with a
    // grid, the main camera is the profile's when the recording has it, else the front.
    void RecordingOpened(int cameras, const std::vector<std::string>& listedWords);
    // Nothing plays: no cameras, every picture cleared.
    void Stopped();

    // The grid's layout applies (more than two cameras).
    bool Grid() const { return cameragrid::UsesGrid(m_cameras); }
    int Cameras() const { return m_cameras; }
    int Main() const { return m_main; }
    // The words of the open recording's cameras in channel order (cameragrid::CameraWords).
    const std::vector<std::string>& Words() const { return m_words; }

    // Makes a camera the main one: kept in the profile, told to the engine, mainChanged sent.
    // False (nothing done) without a grid or for a camera the recording lacks.
    bool SetMain(int channel);

    // Places every picture of the grid and returns the map's place (cameragrid::Layout); with
    // one or two cameras only hides the further pictures and returns nothing useful.
    PanePlace Place(LayoutMode layout, PaneMode map, const Rect& fullScreenPicture);
    // Hides and collapses the pictures beyond the first two (before any recording, after a
    // stop, with one or two cameras).
    void HideFurther();

signals:
    // Another camera became the main one: the window lays its panes out again.
    void mainChanged();

protected:
    // A left click on a small picture of the grid makes it the main camera.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PlaybackController& m_controller;
    AppProfile& m_profile;
    std::array<PictureWidget*, cameragrid::kMaxCameras> m_pictures{};
    int m_cameras = 0;
    int m_main = 0;
    std::vector<std::string> m_words;
};
