#pragma once
#include "AppProfile.h"
#include "base/DiagLog.h"
#include "player/audio/AudioOutputFactory.h"
#include "player/decoder/CDecoder.h"
#include "player/engine/CQTRMediaPlayer.h"
#include "player/source/CTATParser.h"
#include "storage/CTATLibrary.h"
#include "telemetry/CTextData.h"
#include "ui/logic/GeoPoint.h"
#include "ui/logic/KeyTable.h"
#include "ui/logic/MainLayout.h"
#include "ui/logic/PaneLayout.h"

#include <QDialog>
#include <QImage>
#include <QTimer>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class CBitmapButtonTrans;
class CGraphStatic;
class CMapView;
class CZoomDlg;
class CBitmapSlider;
class CxSkinButton;
class PictureWidget;
class QLabel;
class QTreeWidget;

// The program's main window: a frameless, skinned window with the two picture areas, the map
// and graph panes, the recording list, the transport buttons, the three sliders and the status
// texts, in a normal layout (the 975 × 635 background) and a full-screen one.
//
// It owns the player engine and everything the engine is wired to (parser, decoder, sound
// output, the camera-storage library), polls the card once a second, and answers the keys of
// its key table; every other key is swallowed.
//
// Threads: GUI thread, except the engine's callbacks, which only queue work for it.
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
    };
    // Asks the quit question (text, caption); true for Yes. The default shows a message box;
    // tests answer it themselves.
    using QuitQuestion = std::function<bool(const QString& text, const QString& caption)>;

    explicit CSamplePlayerDlg(Options options, QWidget* parent = nullptr);
    ~CSamplePlayerDlg() override; // shuts the engine down, releases the card

    // The control with a dialog id (ControlId), or null.
    QWidget* Control(int id) const;
    LayoutMode Layout() const { return m_layoutMode; }
    PaneModes Panes() const { return m_panes; }
    uint8_t CardDrive() const { return m_cardDrive; }
    CQTRMediaPlayer& Engine() { return m_engine; }
    const AppProfile& Profile() const { return m_profile; }
    // The text of a string-table id in the window's language.
    QString Text(int id) const;
    // How often a press on the background asked the system to move the window.
    int MoveRequests() const { return m_moveRequests; }
    void SetQuitQuestion(QuitQuestion question) { m_quitQuestion = std::move(question); }

    // Commands (also reached through the buttons and keys).
    void OnQuit();
    void OnMinimize();
    void OnFullScreen();
    void OnRestoreSize();
    // One tick of the card poll (timer 101).
    void PollCard();

    // The recording list and playback.
    void OnOpen();
    void FillRecordingList(int filter);
    bool PlayFile(const QString& name);
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
    void RefreshStatus();
    int CurrentIndex() const { return m_currentIndex; }
    int64_t DurationSeconds() const { return m_durationSeconds; }
    const CTextData& Telemetry() const { return m_textData; }
    const CGraphStatic& Graph() const { return *m_graph; }
    CMapView& Map() { return *m_map; }
    // Looks for the card, lists all its recordings and plays the one with this name as a
    // double click on its row would. False when there is no such recording.
    bool PlayRecording(const QString& name);
    // The zoom window (1121): shown at (850, 465), 320 × 250; while it is visible timer 1 feeds
    // it the cut-out of the picture under the pointer.
    void OnZoomWindow();
    CZoomDlg& Zoom() { return *m_zoom; }
    // One tick of the zoom feed; point: the pointer in global coordinates.
    void FeedZoom(const QPoint& pointer);
    // The map-size button (1101): the map and a video swap slots.
    void OnMapSizeButton();
    // The graph's three series (x, y, z).
    std::array<int, 3> GraphSeries() const { return {m_seriesX, m_seriesY, m_seriesZ}; }
    // The device volume last given to the sound output.
    uint32_t DeviceVolume() const { return m_deviceVolume; }

    // Shows a message to the user (text only; the caption is the program's name). The default
    // is a message box; tests collect the texts.
    using MessageSink = std::function<void(const QString& text)>;
    void SetMessageSink(MessageSink sink) { m_messageSink = std::move(sink); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Escape never closes the window

private:
    void CreateControls();
    CBitmapButtonTrans* AddButton(int id, int normal, int pressed, int focused, int disabled);
    CBitmapSlider* AddSlider(int id, int channel, int active, int minimum, int maximum);
    QLabel* AddText(int id, const char* text, Qt::Alignment alignment, const QColor& color);
    void InitControls();
    void ApplyLayout(LayoutMode mode);
    void LoadBackground();
    void LayoutPanes();
    void PlacePane(QWidget* pane, const PanePlace& place);
    void InitConfig();
    void SaveConfig();
    void OnDriveRemoved();
    void OnMediaEnd();
    void ShowMessage(int koreanId, int englishId);
    QString RowName(int row) const;
    void SelectRow(int row);
    // NEXT and PRE: row becomes the current one and plays (a row without a name stays idle).
    void MoveToRow(int row);
    void ShowPlayButton(bool play);
    void SetDeviceVolume(uint32_t volume);
    void UpdateTimeTexts(int64_t current, int64_t length);
    void UpdateGraph(int64_t length, int64_t current);
    bool Loaded() const;
    bool HandleKey(QKeyEvent* event);
    void ShutDown();

    static void EngineEvent(void* user, int event, int value, int reserved);
    static void EngineText(void* user, const uint8_t* text, int32_t length, int32_t timeMs);

    Options m_options;
    DiagLog m_diag;
    AppProfile m_profile;
    QString m_targetFolder;

    // The engine and what it is wired to; the engine goes first when the window goes.
    CTATLibrary m_library;
    CTATParser m_parser;
    CDecoder m_decoder;
    std::unique_ptr<VAudio> m_audio;
    CTextData m_textData;
    CQTRMediaPlayer m_engine;
    bool m_shutDown = false;

    std::map<int, QWidget*> m_controls;
    PictureWidget* m_front = nullptr;
    PictureWidget* m_rear = nullptr;
    CMapView* m_map = nullptr;
    CGraphStatic* m_graph = nullptr;
    int m_seriesX = 0;
    int m_seriesY = 0;
    int m_seriesZ = 0;
    QTreeWidget* m_list = nullptr;
    CBitmapSlider* m_position = nullptr;
    CBitmapSlider* m_volume = nullptr;
    CBitmapSlider* m_brightness = nullptr;
    CxSkinButton* m_mute = nullptr;
    QLabel* m_currentTime = nullptr;
    QLabel* m_length = nullptr;
    QLabel* m_speed = nullptr;

    QImage m_background; // null in full screen (released)
    LayoutMode m_layoutMode = LayoutMode::Normal;
    PaneModes m_panes;
    uint8_t m_cardDrive = 0;
    int m_currentIndex = -1;
    bool m_downloadBusy = false;
    int m_moveRequests = 0;
    bool m_playShown = true; // PLAY shown, Pause hidden
    int64_t m_durationSeconds = 0;
    int64_t m_graphDrawnCount = 0;
    std::optional<GeoPoint> m_mapDrawn; // the position the map was last asked to show
    uint32_t m_deviceVolume = 0x7FFF7FFF;
    QuitQuestion m_quitQuestion;
    MessageSink m_messageSink;

    QTimer m_cardTimer;   // 101: card polling, every second
    QTimer m_statusTimer; // 100: status refresh while a recording plays
    QTimer m_zoomTimer;   // 1: zoom feed, every 10 ms
    CZoomDlg* m_zoom = nullptr;
    int m_zoomSource = 0; // the channel the zoom window follows
};
