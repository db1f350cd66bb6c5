#pragma once
#include "AppProfile.h"
#include "PlaybackController.h"
#include "base/DiagLog.h"
#include "ui/logic/KeyTable.h"
#include "ui/logic/MainLayout.h"
#include "ui/logic/PaneLayout.h"

#include <QDialog>
#include <QImage>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class CBitmapButtonTrans;
class CameraPanes;
class CarReadoutWidget;
class ClipCommand;
class CBitmapSlider;
class CGraphStatic;
class CMapView;
class CxSkinButton;
class DownloadController;
class PictureWidget;
class QCheckBox;
class QLabel;
class RecordingListView;
class ReviewCommands;
class SettingsCommand;
class SnapshotCommand;
class StatusPresenter;
class TripView;
class ZoomFeed;

// The program's main window: a frameless, skinned window with the picture areas (front and
// rear, or a grid of up to six cameras, CameraPanes), the car readout, the map
// and graph panes, the recording list, the transport buttons, the three sliders and the status
// texts, in a normal layout (the 975 × 635 background) and a full-screen one.
//
// It keeps the controls, their skin and layout, the panes, the keys of its key table (every
// other key is swallowed) and the commands that turn clicks and keys into calls of the
// playback controller, which plays the card's recordings; the review commands scrub, step
// frames and set the playing speed; the status presenter shows time, speed, graph and map;
// the zoom feed runs the zoom window; the snapshot command and the download controller save
// pictures and export recordings; the clip command exports an incident clip on a thread of its
// own while the window plays on; the settings command edits the camera's settings on a card.
// While a download runs every command and key is ignored.
//
// Threads: GUI thread.
class CSamplePlayerDlg : public QDialog {
    Q_OBJECT
public:
    struct Options {
        std::string cardFolder;     // --card DIR (or TATVIEW_CARD)
        bool scanRemovable = true;  // look at mounted removable volumes too
        bool verbose = false;       // diagnostic lines on standard output
        uint16_t languageId = 0x09; // the user's primary language
        QString configPath = QStringLiteral("./config.cfg");
        QString profileFolder; // empty: the user's configuration folder
        AudioOutputFactory::Choice audio = AudioOutputFactory::Choice::Auto;
        std::optional<HwDecode> hwdec; // --hwdec; none: the profile's setting
    };
    // Asks the quit question (text, caption); true for Yes. The default shows a message box;
    // tests answer it themselves.
    using QuitQuestion = std::function<bool(const QString& text, const QString& caption)>;
    // Shows a message to the user (text only; the caption is the program's name). The default
    // is a message box; tests collect the texts.
    using MessageSink = std::function<void(const QString& text)>;

    explicit CSamplePlayerDlg(Options options, QWidget* parent = nullptr);
    ~CSamplePlayerDlg() override; // shuts playback down, releases the card

    // The control with a dialog id (ControlId), or null.
    QWidget* Control(int id) const;
    LayoutMode Layout() const { return m_layoutMode; }
    // The text of a string-table id in the window's language.
    QString Text(int id) const;
    void SetQuitQuestion(QuitQuestion question) { m_quitQuestion = std::move(question); }
    void SetMessageSink(MessageSink sink) { m_messageSink = std::move(sink); }

    // The pieces behind the window.
    PlaybackController& Controller() { return *m_controller; }
    StatusPresenter& Status() { return *m_status; }
    ZoomFeed& Zoom() { return *m_zoom; }
    SnapshotCommand& Snapshot() { return *m_snapshot; }
    SettingsCommand& Settings() { return *m_settings; }
    DownloadController& Download() { return *m_download; }
    TripView& Trips() { return *m_trips; }
    ClipCommand& Clip() { return *m_clip; }
    CameraPanes& Cameras() { return *m_cameras; }
    QLabel* InfoLine() const { return m_info; }
    // Shows the drives and plays drive `number` (1 the oldest, as tatcard trips numbers them)
    // from its start; false when there is no such drive.
    bool PlayTripNumber(int number);

    // Commands (reached through the buttons and keys).
    void OnQuit();
    void OnMinimize();
    void OnFullScreen();
    void OnRestoreSize();
    void OnOpen();
    void OnFilter(int filter);
    void OnListDblClk(int row);
    void OnPlay();
    void OnPause();
    void OnStop();
    void OnNext();
    void OnPre();
    void OnSecBack();
    void OnSecForward();
    void OnSliderMoved(int id, int position);
    void OnMute();
    void OnZoomWindow();
    void OnCapture();
    // The clip button (1242) and Ctrl+E: the incident clip of what plays.
    void OnClip();
    // Settings (1016, F3): the camera's settings on a card.
    void OnSettings();
    // FileDownload (1143): stops playback and exports the ticked recordings.
    void OnFileDownload();
    // Select All (1136): ticks or clears every row.
    void OnSelectAll(bool checked);
    // The map-size button (1101): the map and a video swap slots.
    void OnMapSizeButton();

signals:
    // A press on the background asked the window system to move the window (normal layout).
    void systemMoveRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Escape never closes the window

private:
    void CreateControls();
    void ConnectCommands();
    void ConnectController();
    void ApplyLayout(LayoutMode mode);
    void LoadBackground();
    void LayoutPanes();
    void PlacePane(QWidget* pane, const PanePlace& place);
    void PlaceIdlePictures();
    void InitConfig();
    void SaveConfig();
    void ShowText(const QString& text);
    void ShowPlayButton(bool play);
    bool HandleKey(QKeyEvent* event);
    void ShutDown();
    bool Busy() const;

    Options m_options;
    DiagLog m_diag;
    AppProfile m_profile;
    QString m_targetFolder;
    std::unique_ptr<PlaybackController> m_controller;
    bool m_shutDown = false;

    std::map<int, QWidget*> m_controls;
    CameraPanes* m_cameras = nullptr; // a child of the window; its pictures 0 and 1 follow
    PictureWidget* m_front = nullptr;
    PictureWidget* m_rear = nullptr;
    CarReadoutWidget* m_carReadout = nullptr;
    CMapView* m_map = nullptr;
    CGraphStatic* m_graph = nullptr;
    RecordingListView* m_list = nullptr;
    CBitmapSlider* m_position = nullptr;
    CBitmapSlider* m_volume = nullptr;
    CBitmapSlider* m_brightness = nullptr;
    CxSkinButton* m_mute = nullptr;
    std::unique_ptr<StatusPresenter> m_status;
    std::unique_ptr<TripView> m_trips;
    QLabel* m_info = nullptr;
    std::unique_ptr<ReviewCommands> m_review;
    std::unique_ptr<ZoomFeed> m_zoom;
    std::unique_ptr<SnapshotCommand> m_snapshot;
    std::unique_ptr<SettingsCommand> m_settings;
    std::unique_ptr<DownloadController> m_download;
    std::unique_ptr<ClipCommand> m_clip;
    QCheckBox* m_selectAll = nullptr;

    QImage m_background; // null in full screen (released)
    LayoutMode m_layoutMode = LayoutMode::Normal;
    PaneModes m_panes;
    bool m_playShown = true; // PLAY shown, Pause hidden
    QuitQuestion m_quitQuestion;
    MessageSink m_messageSink;
};
