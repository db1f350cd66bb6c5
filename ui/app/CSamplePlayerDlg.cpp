#include "CSamplePlayerDlg.h"

#include "CameraPanes.h"
#include "ClipCommand.h"
#include "ReviewCommands.h"
#include "SettingsCommand.h"
#include "SnapshotCommand.h"
#include "StatusPresenter.h"
#include "TripView.h"
#include "ZoomFeed.h"
#include "resources/SkinBitmaps.h"
#include "resources/strings/StringTable.h"
#include "ui/logic/MainSkin.h"
#include "ui/logic/PlayerConfig.h"
#include "ui/logic/StatusText.h"
#include "ui/widgets/CBitmapButtonTrans.h"
#include "ui/widgets/CBitmapSlider.h"
#include "ui/widgets/CGraphStatic.h"
#include "ui/widgets/CMapView.h"
#include "ui/widgets/CarReadoutWidget.h"
#include "ui/widgets/CxSkinButton.h"
#include "ui/widgets/DownloadController.h"
#include "ui/widgets/KeyTranslation.h"
#include "ui/widgets/PictureWidget.h"
#include "ui/widgets/RecordingListView.h"
#include "ui/widgets/SkinnedControls.h"
#include "ui/widgets/WindowText.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int kCutShortText = 626;    // "%s: the recording could not be read to its end"
constexpr int kClipButtonText = 694;  // "Clip"
constexpr int kClipDialogTitle = 630; // "Export incident clip"
// The line under the title (the normal layout), beside the window's name.
constexpr Rect kInfoRect{340, 10, 550, 18};
} // namespace

CSamplePlayerDlg::CSamplePlayerDlg(Options options, QWidget* parent)
    : QDialog(parent), m_options(std::move(options)),
      m_diag(m_options.verbose ? DiagLog::ToStdout() : DiagLog()),
      m_profile(m_options.profileFolder),
      m_controller(std::make_unique<PlaybackController>(
          PlaybackController::Options{m_options.cardFolder, m_options.scanRemovable,
                                      m_options.audio,
                                      m_options.hwdec.value_or(m_profile.HwDecoding())},
          &m_diag, m_options.verbose)) {
    m_targetFolder = m_profile.TargetFolder();
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowSystemMenuHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(Text(402));
    setWindowIcon(QIcon(QPixmap::fromImage(SkinBitmap(421, m_options.languageId).scaled(64, 64))));

    CreateControls();
    m_status = std::make_unique<StatusPresenter>(
        *m_controller,
        StatusPresenter::Widgets{static_cast<QLabel*>(Control(ControlId::CurrentTime)),
                                 static_cast<QLabel*>(Control(ControlId::Length)),
                                 static_cast<QLabel*>(Control(ControlId::Speed)), m_position,
                                 m_graph, m_map, Control(ControlId::MapSize), m_carReadout},
        &m_diag);
    m_trips = std::make_unique<TripView>(
        *m_controller, *m_status, m_profile,
        TripView::Widgets{m_list, static_cast<QAbstractButton*>(Control(ControlId::TripView)),
                          m_position, m_info},
        [this] { return Busy(); });
    m_controller->SetTripGap(m_profile.TripGapMs());
    m_review = std::make_unique<ReviewCommands>(
        *m_controller, *m_status, m_position, [this] { return Busy(); }, this);
    m_controls[ControlId::PlaySpeed] = m_review->SpeedWidget();
    PlaceIdlePictures();
    const CQTRMediaPlayer::StartResult started = m_controller->Start(m_cameras->Areas());
    if (!started.Ok())
        std::fprintf(stderr, "varnelplayer: the player did not start: its %s failed\n",
                     CQTRMediaPlayer::PartName(started.failed));
    m_zoom = std::make_unique<ZoomFeed>(*m_controller, m_cameras->Pictures(), this);
    const auto tell = [this](const QString& text) { ShowText(text); };
    m_snapshot = std::make_unique<SnapshotCommand>(*m_controller, m_options.languageId, this, tell);
    m_settings =
        std::make_unique<SettingsCommand>(*m_controller, m_options.languageId, this, tell, &m_diag);
    m_download = std::make_unique<DownloadController>(
        [this] { return m_controller->Source(); },
        DownloadController::TargetFolder{
            [this] { return m_profile.TargetFolder(); },
            [this](const QString& f) { m_profile.SetTargetFolder(f); }},
        m_options.languageId, this);
    m_clip = std::make_unique<ClipCommand>(*m_controller, *m_trips, m_profile, m_options.languageId,
                                           this, tell);
    m_layoutMode = LayoutMode::Normal;
    m_panes = PaneModes{};
    PlacePane(m_map, PanePlace{Rect{kSmallSlot.x, kSmallSlot.y, 0, 0}, true});
    m_list->setGeometry(kListRect.x, kListRect.y, kListRect.w, kListRect.h);
    ConnectCommands();
    ConnectController();
    static_cast<QWidget*>(Control(ControlId::Pause))->move(kPauseRect.x, kPauseRect.y);
    Control(ControlId::Pause)->hide();

    ApplyLayout(LayoutMode::Normal);
    LoadBackground();
    InitConfig();
    qApp->installEventFilter(this);
}

CSamplePlayerDlg::~CSamplePlayerDlg() {
    ShutDown();
}

void CSamplePlayerDlg::ShutDown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    qApp->removeEventFilter(this);
    m_zoom->Stop();
    m_download->Stop();
    m_clip->Stop();
    m_controller->ShutDown();
}

QString CSamplePlayerDlg::Text(int id) const {
    return WindowText::Text(id, m_options.languageId);
}

QWidget* CSamplePlayerDlg::Control(int id) const {
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

void CSamplePlayerDlg::CreateControls() {
    for (const ButtonSkin& skin : kButtonSkins)
        m_controls[skin.id] = MakeSkinButton(skin, m_options.languageId, this);
    Control(ControlId::BrightnessIcon)->setEnabled(false);

    m_controls[ControlId::Position] = m_position =
        MakeSkinSlider(ControlId::Position, 443, 444, 0, 0, this);
    m_controls[ControlId::Volume] = m_volume =
        MakeSkinSlider(ControlId::Volume, 422, 423, 0, 99, this);
    m_volume->SetPageSize(25);
    m_controls[ControlId::Brightness] = m_brightness =
        MakeSkinSlider(ControlId::Brightness, 422, 423, -5, 5, this);

    m_mute = new CxSkinButton(this);
    m_mute->SetSkin(SkinBitmap(495), SkinBitmap(494), 1);
    m_mute->setFocusPolicy(Qt::NoFocus);
    m_mute->setCheckable(true);
    m_controls[ControlId::Mute] = m_mute;

    const QString zero = QStringLiteral("00:00:00");
    m_controls[ControlId::CurrentTime] = MakeStatusText(zero, Qt::AlignLeft, Qt::white, this);
    m_controls[ControlId::Length] = MakeStatusText(zero, Qt::AlignRight, Qt::white, this);
    m_controls[ControlId::Speed] =
        MakeStatusText(QStringLiteral("Km/h"), Qt::AlignRight, Qt::red, this);

    m_selectAll = new QCheckBox(QStringLiteral("  Select All"), this);
    QPalette red = m_selectAll->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    m_selectAll->setPalette(red);
    m_selectAll->setFocusPolicy(Qt::NoFocus);
    m_controls[ControlId::SelectAll] = m_selectAll;

    m_cameras = new CameraPanes(*m_controller, m_profile, this);
    m_front = m_cameras->Picture(0);
    m_rear = m_cameras->Picture(1);
    m_controls[ControlId::FrontPicture] = m_front;
    m_controls[ControlId::RearPicture] = m_rear;
    m_map = new CMapView(this);
    const TileSource tiles = m_profile.MapTiles();
    m_map->SetTileSource(QString::fromStdString(tiles.urlTemplate),
                         QString::fromStdString(tiles.attribution));
    m_map->SetCache(m_profile.MapCacheFolder(),
                    static_cast<qint64>(m_profile.MapCacheMegabytes()) * 1000 * 1000);
    m_controls[ControlId::Map] = m_map;
    m_graph = new CGraphStatic(this);
    m_graph->setGeometry(30, 520, 760, 104);
    m_controls[ControlId::Graph] = m_graph;
    m_carReadout = new CarReadoutWidget(this);
    m_controls[ControlId::CarReadout] = m_carReadout;

    m_list = new RecordingListView(m_options.languageId, this);
    m_controls[ControlId::List] = m_list;
    m_controls[ControlId::TripView] = MakeToggleButton(QStringLiteral("Trips"), this);
    m_controls[ControlId::Clip] = MakePlateButton(Text(kClipButtonText), this);
    Control(ControlId::Clip)->setToolTip(Text(kClipDialogTitle) + QStringLiteral(" (Ctrl+E)"));

    // What plays, under the title: the recording, its wall-clock time, the drive's figures.
    m_info = MakeStatusText(QString(), Qt::AlignLeft, QColor(200, 200, 200), this);
}

void CSamplePlayerDlg::ConnectCommands() {
    const auto onClick = [this](int id, void (CSamplePlayerDlg::*handler)()) {
        connect(static_cast<QAbstractButton*>(Control(id)), &QAbstractButton::clicked, this,
                handler);
    };
    onClick(ControlId::Quit, &CSamplePlayerDlg::OnQuit);
    onClick(ControlId::Minimise, &CSamplePlayerDlg::OnMinimize);
    onClick(ControlId::FullScreen, &CSamplePlayerDlg::OnFullScreen);
    onClick(ControlId::RestoreSize, &CSamplePlayerDlg::OnRestoreSize);
    onClick(ControlId::Open, &CSamplePlayerDlg::OnOpen);
    onClick(ControlId::Play, &CSamplePlayerDlg::OnPlay);
    onClick(ControlId::Pause, &CSamplePlayerDlg::OnPause);
    onClick(ControlId::Stop, &CSamplePlayerDlg::OnStop);
    onClick(ControlId::Next, &CSamplePlayerDlg::OnNext);
    onClick(ControlId::Pre, &CSamplePlayerDlg::OnPre);
    onClick(ControlId::SecBack, &CSamplePlayerDlg::OnSecBack);
    onClick(ControlId::SecForward, &CSamplePlayerDlg::OnSecForward);
    onClick(ControlId::MapSize, &CSamplePlayerDlg::OnMapSizeButton);
    onClick(ControlId::Zoom, &CSamplePlayerDlg::OnZoomWindow);
    onClick(ControlId::Mute, &CSamplePlayerDlg::OnMute);
    onClick(ControlId::Snapshot, &CSamplePlayerDlg::OnCapture);
    onClick(ControlId::Clip, &CSamplePlayerDlg::OnClip);
    onClick(ControlId::Settings, &CSamplePlayerDlg::OnSettings);
    onClick(ControlId::Download, &CSamplePlayerDlg::OnFileDownload);
    connect(m_selectAll, &QCheckBox::clicked, this, &CSamplePlayerDlg::OnSelectAll);
    const std::pair<int, int> filters[] = {{ControlId::FilterEvent, 0},
                                           {ControlId::FilterContinuous, 1},
                                           {ControlId::FilterMotion, 2},
                                           {ControlId::FilterManual, 3},
                                           {ControlId::FilterAll, 4}};
    for (const auto& [id, filter] : filters)
        connect(static_cast<QAbstractButton*>(Control(id)), &QAbstractButton::clicked, this,
                [this, value = filter] { OnFilter(value); });
    for (CBitmapSlider* slider : {m_position, m_volume, m_brightness})
        connect(slider, &CBitmapSlider::sliderMoved, this, &CSamplePlayerDlg::OnSliderMoved,
                Qt::QueuedConnection);
    connect(m_list, &RecordingListView::rowActivated, this, &CSamplePlayerDlg::OnListDblClk);
}

void CSamplePlayerDlg::ConnectController() {
    PlaybackController* controller = m_controller.get();
    connect(controller, &PlaybackController::rowsChanged, this, [this] {
        m_trips->ShowRows();
        m_selectAll->setChecked(false); // new rows start unticked
    });
    connect(m_download.get(), &DownloadController::titleChanged, this, &QWidget::setWindowTitle);
    connect(m_download.get(), &DownloadController::finished, this, [this](const QString& text) {
        if (!text.isEmpty())
            ShowText(text);
    });
    connect(controller, &PlaybackController::currentRowChanged, m_list,
            &RecordingListView::SelectRow);
    connect(controller, &PlaybackController::playingChanged, this,
            [this](bool playing) { ShowPlayButton(!playing); });
    connect(controller, &PlaybackController::recordingOpened, this, [this] {
        m_cameras->RecordingOpened(m_controller->ChannelCount(), m_controller->CameraWords());
        m_status->RecordingOpened();
        m_trips->RecordingOpened();
        m_panes = PanesForNewRecording(m_controller->ChannelCount());
        LayoutPanes();
        update();
    });
    connect(controller, &PlaybackController::stopped, this, [this] {
        PlaceIdlePictures();
        m_cameras->Stopped();
        m_status->Reset();
        ShowPlayButton(true);
        m_panes = PaneModes{};
        update();
    });
    connect(controller, &PlaybackController::cardRemoved, this, [this] {
        m_status->CardRemoved();
        m_position->update();
        m_volume->update();
        update();
    });
    connect(controller, &PlaybackController::recordingCutShort, this, [this](const QString& name) {
        ShowText(QString::fromStdString(
            FormatText(kCutShortText, m_options.languageId, name.toUtf8().constData())));
    });
    connect(controller, &PlaybackController::recordingEnded, this, &CSamplePlayerDlg::OnNext);
    connect(controller, &PlaybackController::statusTick, m_status.get(), &StatusPresenter::Tick);
    connect(controller, &PlaybackController::statusTick, m_trips.get(), &TripView::Tick);
    connect(m_cameras, &CameraPanes::mainChanged, this, &CSamplePlayerDlg::LayoutPanes);
    connect(m_status.get(), &StatusPresenter::mapRevealed, this, [this] {
        if (m_panes.map == PaneMode::Hidden) {
            m_panes.map = PaneMode::Small;
            LayoutPanes();
        }
    });
}

void CSamplePlayerDlg::ApplyLayout(LayoutMode mode) {
    const QSize client = size();
    if (mode == LayoutMode::FullScreen) {
        m_graph->hide();
        const Rect picture = FullScreenPicture(client.width(), client.height());
        m_front->setGeometry(picture.x, picture.y, picture.w, picture.h);
        m_rear->setGeometry(picture.x, picture.y, picture.w, picture.h);
    }
    for (const ControlPlacement& placement :
         LayoutControls(mode, client.width(), client.height())) {
        QWidget* control = Control(placement.id);
        if (control == nullptr)
            continue;
        if (placement.rect)
            control->setGeometry(placement.rect->x, placement.rect->y, placement.rect->w,
                                 placement.rect->h);
        if (placement.visibility == Visibility::Show)
            control->show();
        else if (placement.visibility == Visibility::Hide)
            control->hide();
    }
    Control(ControlId::Play)->setVisible(m_playShown);
    Control(ControlId::Pause)->setVisible(!m_playShown);
    Control(ControlId::MapSize)->setEnabled(false);
    // The line under the title has room in the normal layout only.
    m_info->setGeometry(kInfoRect.x, kInfoRect.y, kInfoRect.w, kInfoRect.h);
    m_info->setVisible(mode == LayoutMode::Normal);
    m_front->SyncSize();
    m_rear->SyncSize();
    update();
}

void CSamplePlayerDlg::LoadBackground() {
    m_background = SkinBitmap(421, m_options.languageId);
    setFixedSize(m_background.isNull() ? QSize(kBackgroundWidth, kBackgroundHeight)
                                       : m_background.size());
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

void CSamplePlayerDlg::PlacePane(QWidget* pane, const PanePlace& place) {
    pane->setGeometry(place.rect.x, place.rect.y, place.rect.w, place.rect.h);
    pane->setVisible(place.visible);
    if (auto* picture = qobject_cast<PictureWidget*>(pane))
        picture->SyncSize();
}

void CSamplePlayerDlg::PlaceIdlePictures() {
    PlacePane(m_front, PanePlace{Rect{kLargeSlot.x, kLargeSlot.y, 0, 0}, false});
    PlacePane(m_rear, PanePlace{Rect{kSmallSlot.x, kSmallSlot.y, 0, 0}, false});
    m_cameras->HideFurther();
}

void CSamplePlayerDlg::LayoutPanes() {
    if (m_controller->Loaded() && m_cameras->Grid()) {
        PlacePane(m_map, m_cameras->Place(m_layoutMode, m_panes.map,
                                          FullScreenPicture(width(), height())));
        Control(ControlId::MapSize)->setToolTip(Text(MapSizeCaptionId(m_panes.map)));
        update();
        return;
    }
    m_cameras->HideFurther();
    const int channels = m_controller->Loaded() ? m_controller->ChannelCount() : 1;
    const PanePlaces places =
        ::LayoutPanes(m_layoutMode, m_panes, channels, FullScreenPicture(width(), height()));
    PlacePane(m_front, places.front);
    PlacePane(m_rear, places.rear);
    PlacePane(m_map, places.map);
    Control(ControlId::MapSize)->setToolTip(Text(MapSizeCaptionId(m_panes.map)));
    update();
}

void CSamplePlayerDlg::InitConfig() {
    const PlayerSettings settings =
        PlayerConfig(m_options.configPath.toStdString(), &m_diag).InitConfig();
    m_brightness->SetPos(settings.brightness);
    m_volume->SetPos(settings.volume);
}

void CSamplePlayerDlg::SaveConfig() {
    PlayerConfig(m_options.configPath.toStdString(), &m_diag)
        .SaveConfig(PlayerSettings{m_brightness->GetPos(), m_volume->GetPos()});
}

void CSamplePlayerDlg::OnQuit() {
    if (Busy())
        return;
    SaveConfig();
    m_controller->Halt();
    const QString text = Text(413);
    const QString caption = Text(415);
    const bool yes = m_quitQuestion ? m_quitQuestion(text, caption)
                                    : QMessageBox::question(this, caption, text,
                                                            QMessageBox::Yes | QMessageBox::No) ==
                                          QMessageBox::Yes;
    if (yes)
        accept();
}

void CSamplePlayerDlg::OnMinimize() {
    if (!Busy())
        showMinimized();
}

void CSamplePlayerDlg::OnFullScreen() {
    if (Busy() || m_layoutMode == LayoutMode::FullScreen)
        return;
    m_layoutMode = LayoutMode::FullScreen;
    m_background = QImage();
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (const QScreen* screen = this->screen())
        setGeometry(screen->availableGeometry());
    showMaximized();
    if (m_panes.map == PaneMode::Large)
        OnMapSizeButton();
    if (!m_controller->Loaded())
        m_status->UpdateTimeTexts(0, 0);
    ApplyLayout(m_layoutMode);
    LayoutPanes();
}

void CSamplePlayerDlg::OnRestoreSize() {
    if (Busy() || m_layoutMode == LayoutMode::Normal)
        return;
    m_layoutMode = LayoutMode::Normal;
    showNormal();
    if (!m_controller->Loaded())
        m_status->UpdateTimeTexts(0, 0);
    LoadBackground();
    ApplyLayout(m_layoutMode);
    LayoutPanes();
}

void CSamplePlayerDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!m_background.isNull())
        painter.drawImage(0, 0, m_background);
}

void CSamplePlayerDlg::mousePressEvent(QMouseEvent* event) {
    // The window has no caption: in the normal layout it is dragged by its background.
    if (event->button() == Qt::LeftButton && m_layoutMode == LayoutMode::Normal) {
        emit systemMoveRequested();
        if (QWindow* window = windowHandle())
            window->startSystemMove();
        return;
    }
    QDialog::mousePressEvent(event);
}

void CSamplePlayerDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // In full screen the controls follow the client size (the maximise may come late).
    if (m_layoutMode == LayoutMode::FullScreen) {
        ApplyLayout(m_layoutMode);
        LayoutPanes();
    }
}

bool CSamplePlayerDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget->window() == this)
            return HandleKey(static_cast<QKeyEvent*>(event));
    }
    return QDialog::eventFilter(watched, event);
}

bool CSamplePlayerDlg::HandleKey(QKeyEvent* event) {
    TATV_DIAG(&m_diag, "Press Button => %d\n", VirtualKeyOf(*event));
    KeyContext context;
    context.layout = m_layoutMode;
    context.playButtonVisible = m_playShown;
    context.listRowCount = m_list->RowCount();
    context.pointerInsideList = m_list->Contains(QCursor::pos());
    context.downloadBusy = Busy();
    context.volume = m_volume->GetPos();
    context.cameras = m_controller->Loaded() ? m_cameras->Cameras() : 0;
    const KeyDecision decision = DecideKey(KeyOfEvent(*event), context);
    using Command = void (CSamplePlayerDlg::*)();
    static const std::map<KeyAction, Command> kCommands = {
        {KeyAction::FullScreen, &CSamplePlayerDlg::OnFullScreen},
        {KeyAction::RestoreSize, &CSamplePlayerDlg::OnRestoreSize},
        {KeyAction::SecBack, &CSamplePlayerDlg::OnSecBack},
        {KeyAction::SecForward, &CSamplePlayerDlg::OnSecForward},
        {KeyAction::Play, &CSamplePlayerDlg::OnPlay},
        {KeyAction::Pause, &CSamplePlayerDlg::OnPause},
        {KeyAction::Next, &CSamplePlayerDlg::OnNext},
        {KeyAction::Pre, &CSamplePlayerDlg::OnPre},
        {KeyAction::Settings, &CSamplePlayerDlg::OnSettings},
        {KeyAction::ExportClip, &CSamplePlayerDlg::OnClip},
        {KeyAction::Open, &CSamplePlayerDlg::OnOpen}};
    if (decision.action == KeyAction::PassToList)
        return false;
    if (decision.action == KeyAction::MarkerNext) {
        m_trips->NextMark();
        return true;
    }
    if (decision.action == KeyAction::MarkerPrevious) {
        m_trips->PreviousMark();
        return true;
    }
    if (decision.action == KeyAction::MainCamera) {
        m_cameras->SetMain(decision.camera);
        return true;
    }
    if (decision.action == KeyAction::ToggleUnits) {
        m_trips->ToggleUnit();
        return true;
    }
    if (decision.action == KeyAction::MarkClipStart) {
        m_trips->MarkClipStart();
        return true;
    }
    if (decision.action == KeyAction::MarkClipEnd) {
        m_trips->MarkClipEnd();
        return true;
    }
    if (m_review->HandleKey(decision.action))
        return true;
    if (decision.action == KeyAction::VolumeUp || decision.action == KeyAction::VolumeDown)
        m_volume->SetPos(decision.volume);
    if (decision.action == KeyAction::SecBack)
        TATV_DIAG(&m_diag, "Press Button => VK_LEFT\n");
    if (decision.action == KeyAction::SecForward)
        TATV_DIAG(&m_diag, "Press Button => VK_RIGHT\n");
    if (const auto command = kCommands.find(decision.action); command != kCommands.end())
        (this->*command->second)();
    return true;
}

void CSamplePlayerDlg::closeEvent(QCloseEvent* event) {
    ShutDown();
    QDialog::closeEvent(event);
}

void CSamplePlayerDlg::reject() {}

// ---- Commands that reach the playback controller ----

bool CSamplePlayerDlg::Busy() const {
    return m_download && m_download->Busy();
}

void CSamplePlayerDlg::ShowText(const QString& text) {
    if (m_messageSink)
        m_messageSink(text);
    else
        QMessageBox::information(this, QApplication::applicationName(), text);
}

void CSamplePlayerDlg::ShowPlayButton(bool play) {
    m_playShown = play;
    Control(ControlId::Play)->setVisible(play);
    Control(ControlId::Pause)->setVisible(!play);
}

void CSamplePlayerDlg::OnOpen() {
    if (Busy())
        return;
    if (m_controller->CardDrive() == 0) {
        ShowText(Text(445));
        return;
    }
    m_controller->ListRecordings(1);
    m_list->show();
}

void CSamplePlayerDlg::OnFilter(int filter) {
    if (!Busy())
        m_controller->ListRecordings(filter);
}

void CSamplePlayerDlg::OnListDblClk(int row) {
    if (!Busy())
        m_controller->PlayRow(row);
}

void CSamplePlayerDlg::OnPlay() {
    if (Busy())
        return;
    if (m_trips->Shown() && !m_controller->Loaded() && m_list->TripCount() > 0) {
        const RecordingListView::TripPlace place = m_list->SelectedTripMember();
        m_trips->PlayListed(std::max(place.trip, 0), std::max(place.member, 0));
        return;
    }
    m_controller->Play(m_list->SelectedRow());
}

bool CSamplePlayerDlg::PlayTripNumber(int number) {
    m_controller->PollCard();
    m_controller->ListRecordings(RecordingList::kFilterAll);
    m_trips->Show(true);
    const std::vector<size_t>& listed = m_trips->Listed();
    const auto row = std::find(listed.begin(), listed.end(), static_cast<size_t>(number - 1));
    return number >= 1 && row != listed.end() &&
           m_trips->PlayListed(static_cast<int>(row - listed.begin()), 0);
}

void CSamplePlayerDlg::OnPause() {
    if (!Busy())
        m_controller->Pause();
}

void CSamplePlayerDlg::OnStop() {
    if (!Busy())
        m_controller->Stop();
}

void CSamplePlayerDlg::OnNext() {
    if (!Busy())
        m_controller->Next();
}

void CSamplePlayerDlg::OnPre() {
    if (!Busy())
        m_controller->Previous();
}

void CSamplePlayerDlg::OnSecBack() {
    if (!Busy() && m_controller->StepBack())
        m_status->Refresh();
}

void CSamplePlayerDlg::OnSecForward() {
    if (!Busy() && m_controller->StepForward()) {
        m_status->RedrawGraphNext();
        m_status->Refresh();
    }
}

void CSamplePlayerDlg::OnZoomWindow() {
    if (!Busy() && !m_shutDown)
        m_zoom->Show();
}

void CSamplePlayerDlg::OnMapSizeButton() {
    if (Busy())
        return;
    if (m_controller->Loaded() && m_cameras->Grid()) {
        // The grid: the map takes the large slot, every camera a cell of the grid, and back.
        if (m_panes.map != PaneMode::Hidden)
            m_panes.map = m_panes.map == PaneMode::Large ? PaneMode::Small : PaneMode::Large;
    } else {
        m_panes = ToggleMapSize(m_panes, m_controller->Loaded() ? m_controller->ChannelCount() : 0);
    }
    LayoutPanes();
}

void CSamplePlayerDlg::OnSliderMoved(int id, int position) {
    if (id == ControlId::Position) {
        m_controller->SeekToSecond(position);
        m_status->Refresh();
    } else if (id == ControlId::Volume) {
        m_mute->setChecked(position == 0);
        m_controller->SetDeviceVolume(position > 0 ? StatusText::DeviceVolume(position) : 0);
    } else if (id == ControlId::Brightness) {
        m_controller->SetBrightness(position);
    }
}

void CSamplePlayerDlg::OnMute() {
    m_controller->SetDeviceVolume(
        m_mute->isChecked() ? 0 : StatusText::DeviceVolume(m_volume->GetPos()));
}

void CSamplePlayerDlg::OnCapture() {
    if (!Busy())
        m_snapshot->Capture(m_list->RowCount());
}

void CSamplePlayerDlg::OnClip() {
    if (!Busy() && !m_shutDown)
        m_clip->Run();
}

void CSamplePlayerDlg::OnSettings() {
    if (!Busy())
        m_settings->Run();
}

void CSamplePlayerDlg::OnFileDownload() {
    if (Busy())
        return;
    OnStop();
    const std::vector<std::string> names = m_list->CheckedNames();
    if (names.empty())
        ShowText(Text(447));
    else
        m_download->ChooseFolderAndStart(names);
}

void CSamplePlayerDlg::OnSelectAll(bool checked) {
    if (!Busy())
        m_list->SetAllChecked(checked);
}
