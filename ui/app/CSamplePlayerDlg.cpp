#include "CSamplePlayerDlg.h"

#include "resources/SkinBitmaps.h"
#include "resources/strings/StringTable.h"
#include "ui/logic/Language.h"
#include "ui/logic/MapUpdateRule.h"
#include "ui/logic/PlayerConfig.h"
#include "ui/logic/RecordingList.h"
#include "ui/logic/StatusText.h"
#include "ui/widgets/CBitmapButtonTrans.h"
#include "ui/widgets/CBitmapSlider.h"
#include "ui/widgets/CGraphStatic.h"
#include "ui/widgets/CMapView.h"
#include "ui/widgets/CZoomDlg.h"
#include "ui/widgets/CxSkinButton.h"
#include "ui/widgets/PictureWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QTreeWidget>
#include <QWindow>

namespace {

// Skin ids of the bitmap buttons: normal, pressed, focused, disabled (0: none).
struct ButtonSkin {
    int id;
    int normal;
    int pressed;
    int focused;
    int disabled;
};
constexpr ButtonSkin kButtons[] = {
    {ControlId::Minimise, 451, 452, 451, 0},
    {ControlId::Quit, 434, 435, 434, 0},
    {ControlId::Pre, 472, 473, 472, 0},
    {ControlId::Play, 469, 470, 469, 0},
    {ControlId::Stop, 489, 490, 489, 0},
    {ControlId::Next, 460, 461, 460, 0},
    {ControlId::SecBack, 478, 479, 478, 0},
    {ControlId::SecForward, 481, 482, 481, 0},
    {ControlId::Open, 466, 467, 466, 0},
    {ControlId::Settings, 484, 485, 484, 0},
    {ControlId::Snapshot, 425, 426, 425, 0},
    {ControlId::FullScreen, 440, 441, 440, 0},
    {ControlId::RestoreSize, 502, 503, 502, 0},
    {ControlId::MapSize, 428, 429, 428, 430},
    {ControlId::Pause, 511, 0, 0, 0},
    {ControlId::Zoom, 496, 497, 496, 0},
    {ControlId::Download, 505, 506, 505, 0},
    {ControlId::FilterEvent, 437, 438, 437, 0},
    {ControlId::FilterMotion, 457, 458, 457, 0},
    {ControlId::FilterContinuous, 463, 464, 463, 0},
    {ControlId::FilterManual, 445, 446, 445, 0},
    {ControlId::FilterAll, 417, 418, 417, 0},
    {ControlId::BrightnessIcon, 424, 0, 0, 0},
};

// The list's columns: title ids (Korean; English is the next id but for "Type") and widths.
struct ListColumn {
    int koreanTitle;
    int englishTitle;
    int koreanWidth;
    int englishWidth;
};
constexpr ListColumn kListColumns[] = {
    {431, 442, 60, 60}, {405, 406, 0, 0},  {407, 408, 130, 180},
    {443, 444, 40, 60}, {409, 410, 0, 90}, {411, 412, 0, 0},
};

constexpr uint32_t kSliderKey = 0xFF000000;

Key KeyOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Key::Enter;
    case Qt::Key_Space:
        return Key::Space;
    case Qt::Key_PageUp:
        return Key::PageUp;
    case Qt::Key_PageDown:
        return Key::PageDown;
    case Qt::Key_Left:
        return Key::Left;
    case Qt::Key_Right:
        return Key::Right;
    case Qt::Key_Up:
        return Key::Up;
    case Qt::Key_Down:
        return Key::Down;
    case Qt::Key_F2:
        return Key::F2;
    case Qt::Key_F3:
        return Key::F3;
    case Qt::Key_Escape:
        return Key::Escape;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return Key::Tab;
    default:
        return Key::Other;
    }
}

// The virtual-key number the diagnostic line shows for the keys of the key table.
int VirtualKeyOf(const QKeyEvent& event) {
    switch (KeyOf(event.key())) {
    case Key::Enter:
        return 13;
    case Key::Space:
        return 32;
    case Key::PageUp:
        return 33;
    case Key::PageDown:
        return 34;
    case Key::Left:
        return 37;
    case Key::Up:
        return 38;
    case Key::Right:
        return 39;
    case Key::Down:
        return 40;
    case Key::F2:
        return 113;
    case Key::F3:
        return 114;
    case Key::Escape:
        return 27;
    case Key::Tab:
        return 9;
    case Key::Other:
        break;
    }
    return static_cast<int>(event.nativeVirtualKey());
}

} // namespace

CSamplePlayerDlg::CSamplePlayerDlg(Options options, QWidget* parent)
    : QDialog(parent), m_options(std::move(options)),
      m_diag(m_options.verbose ? DiagLog::ToStdout() : DiagLog()),
      m_profile(m_options.profileFolder), m_library([this] {
          TatCardSource source = TatCardSource::FromCommandLine(m_options.cardFolder);
          source.scanRemovable = m_options.scanRemovable;
          return source;
      }()),
      m_parser(&m_library) {
    m_targetFolder = m_profile.TargetFolder();
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowSystemMenuHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(Text(402));
    setWindowIcon(QIcon(QPixmap::fromImage(SkinBitmap(421).scaled(64, 64))));
    m_library.SetDiagLog(&m_diag);
    m_parser.SetDiagLog(&m_diag);
    m_audio = AudioOutputFactory(stderr).Make(m_options.audio);

    CreateControls();
    InitControls();
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
    m_cardTimer.stop();
    m_zoomTimer.stop();
    m_statusTimer.stop();
    m_engine.Shutdown();
}

QString CSamplePlayerDlg::Text(int id) const {
    return QString::fromStdString(PickText(id, m_options.languageId));
}

QWidget* CSamplePlayerDlg::Control(int id) const {
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

CBitmapButtonTrans* CSamplePlayerDlg::AddButton(int id, int normal, int pressed, int focused,
                                                int disabled) {
    auto* button = new CBitmapButtonTrans(this);
    button->SetKeyColor(0x000000);
    button->SetBitmaps(SkinBitmap(normal), pressed ? SkinBitmap(pressed) : QImage(),
                       focused ? SkinBitmap(focused) : QImage(),
                       disabled ? SkinBitmap(disabled) : QImage());
    button->SizeToContent();
    button->setFocusPolicy(Qt::NoFocus);
    m_controls[id] = button;
    return button;
}

CBitmapSlider* CSamplePlayerDlg::AddSlider(int id, int channel, int active, int minimum,
                                           int maximum) {
    auto* slider = new CBitmapSlider(this);
    slider->SetControlId(id);
    slider->SetChannelBitmaps(SkinBitmap(channel), SkinBitmap(active), true, kSliderKey, 0, 0);
    slider->SetThumbBitmaps(SkinBitmap(420), QImage(), true, kSliderKey, 0, 0);
    slider->SetRange(minimum, maximum);
    m_controls[id] = slider;
    return slider;
}

QLabel* CSamplePlayerDlg::AddText(int id, const char* text, Qt::Alignment alignment,
                                  const QColor& color) {
    auto* label = new QLabel(QString::fromUtf8(text), this);
    label->setAlignment(alignment | Qt::AlignVCenter);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    QFont font = label->font();
    font.setPixelSize(11);
    label->setFont(font);
    m_controls[id] = label;
    return label;
}

void CSamplePlayerDlg::CreateControls() {
    for (const ButtonSkin& skin : kButtons)
        AddButton(skin.id, skin.normal, skin.pressed, skin.focused, skin.disabled);
    Control(ControlId::BrightnessIcon)->setEnabled(false);

    m_position = AddSlider(ControlId::Position, 443, 444, 0, 0);
    m_volume = AddSlider(ControlId::Volume, 422, 423, 0, 99);
    m_volume->SetPageSize(25);
    m_brightness = AddSlider(ControlId::Brightness, 422, 423, -5, 5);

    m_mute = new CxSkinButton(this);
    m_mute->SetSkin(SkinBitmap(495), SkinBitmap(494), 1);
    m_mute->setFocusPolicy(Qt::NoFocus);
    m_controls[ControlId::Mute] = m_mute;

    m_currentTime = AddText(ControlId::CurrentTime, "00:00:00", Qt::AlignLeft, Qt::white);
    m_length = AddText(ControlId::Length, "00:00:00", Qt::AlignRight, Qt::white);
    m_speed = AddText(ControlId::Speed, "Km/h", Qt::AlignRight, Qt::red);

    auto* selectAll = new QCheckBox(QStringLiteral("  Select All"), this);
    QPalette red = selectAll->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    selectAll->setPalette(red);
    m_controls[ControlId::SelectAll] = selectAll;

    m_front = new PictureWidget(this);
    m_rear = new PictureWidget(this);
    m_controls[ControlId::FrontPicture] = m_front;
    m_controls[ControlId::RearPicture] = m_rear;
    m_map = new CMapView(this);
    const TileSource tiles = m_profile.MapTiles();
    m_map->SetTileSource(QString::fromStdString(tiles.urlTemplate),
                         QString::fromStdString(tiles.attribution));
    m_controls[ControlId::Map] = m_map;
    m_graph = new CGraphStatic(this);
    m_graph->setGeometry(30, 520, 760, 104);
    m_graph->SetYRange(200, 50);
    m_graph->SetXStep(13);
    m_graph->SetGrid(true);
    m_seriesX = m_graph->AddSeries(0xFF0000, 1);
    m_seriesY = m_graph->AddSeries(0x00FFFF, 1);
    m_seriesZ = m_graph->AddSeries(0x0000FF, 1);
    m_controls[ControlId::Graph] = m_graph;

    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setStyleSheet(
        QStringLiteral("QTreeWidget { background: black; color: white; border: 1px solid #202833; }"
                       "QHeaderView::section { background: #10151c; color: #8d99a6; border: 0;"
                       " border-right: 1px solid #1c2430; padding: 1px 4px; }"
                       "QScrollBar { background: #0a0d11; width: 9px; height: 9px; }"
                       "QScrollBar::handle { background: #2b3643; border-radius: 4px; }"
                       "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"));
    m_controls[ControlId::List] = m_list;
}

void CSamplePlayerDlg::InitControls() {
    m_engine.SetEventCallback(&CSamplePlayerDlg::EngineEvent, this);
    m_engine.SetTextCallback(&CSamplePlayerDlg::EngineText, this);
    m_engine.SetParser(&m_parser);
    m_engine.SetDecoder(&m_decoder);
    m_engine.SetAudio(m_audio.get());
    m_engine.SetDiagLog(m_options.verbose ? &m_diag : nullptr);
    PlacePane(m_front, PanePlace{Rect{kLargeSlot.x, kLargeSlot.y, 0, 0}, false});
    PlacePane(m_rear, PanePlace{Rect{kSmallSlot.x, kSmallSlot.y, 0, 0}, false});

    m_cardDrive = 0;
    m_downloadBusy = false;
    m_engine.Start(m_front, m_rear);

    m_cardTimer.setInterval(1000);
    connect(&m_cardTimer, &QTimer::timeout, this, &CSamplePlayerDlg::PollCard);
    m_cardTimer.start();
    m_statusTimer.setInterval(100);
    m_zoomTimer.setInterval(10);
    // Asking where the pointer is takes a round trip to the display server, and a timer this
    // fast wakes the whole program: it runs only while the zoom window shows.
    connect(&m_zoomTimer, &QTimer::timeout, this, [this] {
        if (m_zoom->isVisible())
            FeedZoom(QCursor::pos());
        else
            m_zoomTimer.stop();
    });
    m_zoom = new CZoomDlg(this);
    m_zoom->hide();

    m_layoutMode = LayoutMode::Normal;
    m_panes = PaneModes{};
    PlacePane(m_map, PanePlace{Rect{kSmallSlot.x, kSmallSlot.y, 0, 0}, true});

    m_list->setGeometry(kListRect.x, kListRect.y, kListRect.w, kListRect.h);
    m_list->setColumnCount(static_cast<int>(std::size(kListColumns)));
    QStringList titles;
    const bool korean = IsKorean(m_options.languageId);
    for (const ListColumn& column : kListColumns)
        titles << QString::fromUtf8(StringText(korean ? column.koreanTitle : column.englishTitle));
    m_list->setHeaderLabels(titles);
    for (int c = 0; c < static_cast<int>(std::size(kListColumns)); ++c) {
        const int width = korean ? kListColumns[c].koreanWidth : kListColumns[c].englishWidth;
        m_list->setColumnWidth(c, width);
        m_list->setColumnHidden(c, width == 0);
    }
    m_list->header()->setSectionsClickable(false);
    m_list->header()->setSectionsMovable(false);
    m_list->header()->setEnabled(false);

    connect(static_cast<QAbstractButton*>(Control(ControlId::Quit)), &QAbstractButton::clicked,
            this, &CSamplePlayerDlg::OnQuit);
    connect(static_cast<QAbstractButton*>(Control(ControlId::Minimise)), &QAbstractButton::clicked,
            this, &CSamplePlayerDlg::OnMinimize);
    connect(static_cast<QAbstractButton*>(Control(ControlId::FullScreen)),
            &QAbstractButton::clicked, this, &CSamplePlayerDlg::OnFullScreen);
    connect(static_cast<QAbstractButton*>(Control(ControlId::RestoreSize)),
            &QAbstractButton::clicked, this, &CSamplePlayerDlg::OnRestoreSize);
    const auto onClick = [this](int id, void (CSamplePlayerDlg::*handler)()) {
        connect(static_cast<QAbstractButton*>(Control(id)), &QAbstractButton::clicked, this,
                handler);
    };
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
    const std::pair<int, int> filters[] = {{ControlId::FilterEvent, 0},
                                           {ControlId::FilterContinuous, 1},
                                           {ControlId::FilterMotion, 2},
                                           {ControlId::FilterManual, 3},
                                           {ControlId::FilterAll, 4}};
    for (const auto& [id, filter] : filters) {
        connect(static_cast<QAbstractButton*>(Control(id)), &QAbstractButton::clicked, this,
                [this, value = filter] {
                    if (m_downloadBusy)
                        return;
                    m_list->clear();
                    FillRecordingList(value);
                });
    }
    m_mute->setCheckable(true);
    connect(m_mute, &QAbstractButton::clicked, this, &CSamplePlayerDlg::OnMute);
    for (CBitmapSlider* slider : {m_position, m_volume, m_brightness})
        connect(slider, &CBitmapSlider::sliderMoved, this, &CSamplePlayerDlg::OnSliderMoved,
                Qt::QueuedConnection);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        OnListDblClk(m_list->indexOfTopLevelItem(item));
    });
    connect(&m_statusTimer, &QTimer::timeout, this, [this] {
        // While a slider thumb (or anything else) is held, the refresh waits.
        if (!(QApplication::mouseButtons() & Qt::LeftButton))
            RefreshStatus();
    });
    static_cast<QWidget*>(Control(ControlId::Pause))->move(kPauseRect.x, kPauseRect.y);
    Control(ControlId::Pause)->hide();
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
    m_front->SyncSize();
    m_rear->SyncSize();
    update();
}

void CSamplePlayerDlg::LoadBackground() {
    m_background = SkinBitmap(421);
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

void CSamplePlayerDlg::LayoutPanes() {
    const int channels =
        m_engine.StateValue() == CQTRMediaPlayer::kIdle ? 1 : m_engine.ChannelCount();
    const PanePlaces places =
        ::LayoutPanes(m_layoutMode, m_panes, channels, FullScreenPicture(width(), height()));
    PlacePane(m_front, places.front);
    PlacePane(m_rear, places.rear);
    PlacePane(m_map, places.map);
    Control(ControlId::MapSize)->setToolTip(QString::fromUtf8(MapSizeCaption(m_panes.map).data()));
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

void CSamplePlayerDlg::PollCard() {
    const uint8_t drive = m_library.PollCardDrive();
    if (drive == m_cardDrive)
        return;
    const bool removed = drive == 0;
    m_cardDrive = drive;
    if (removed)
        OnDriveRemoved();
    else
        m_library.MountCard();
}

void CSamplePlayerDlg::OnDriveRemoved() {
    m_statusTimer.stop();
    m_list->clear();
    m_currentIndex = -1;
    UpdateTimeTexts(0, 0);
    m_position->SetPos(0);
    m_position->update();
    m_volume->update();
    SetDeviceVolume(0x7FFF7FFF);
    update();
}

void CSamplePlayerDlg::OnMediaEnd() {
    TATV_DIAG(&m_diag, "Media End Recv [%d]\n", CQTRMediaPlayer::kEventEnd);
    OnNext();
}

void CSamplePlayerDlg::EngineEvent(void* user, int event, int, int) {
    auto* self = static_cast<CSamplePlayerDlg*>(user);
    if (event == CQTRMediaPlayer::kEventEnd)
        QMetaObject::invokeMethod(
            self, [self] { self->OnMediaEnd(); }, Qt::QueuedConnection);
}

void CSamplePlayerDlg::EngineText(void* user, const uint8_t* text, int32_t length, int32_t timeMs) {
    auto* self = static_cast<CSamplePlayerDlg*>(user);
    self->m_textData.OnTextPacket(text, static_cast<size_t>(std::max(length, 0)), timeMs);
}

void CSamplePlayerDlg::OnQuit() {
    if (m_downloadBusy)
        return;
    SaveConfig();
    m_engine.Stop();
    m_statusTimer.stop();
    m_cardTimer.stop();
    const bool korean = IsKorean(m_options.languageId);
    const QString text = QString::fromUtf8(StringText(korean ? 413 : 414));
    const QString caption = QString::fromUtf8(StringText(korean ? 415 : 416));
    const bool yes = m_quitQuestion ? m_quitQuestion(text, caption)
                                    : QMessageBox::question(this, caption, text,
                                                            QMessageBox::Yes | QMessageBox::No) ==
                                          QMessageBox::Yes;
    if (yes)
        accept();
}

void CSamplePlayerDlg::OnMinimize() {
    if (!m_downloadBusy)
        showMinimized();
}

void CSamplePlayerDlg::OnFullScreen() {
    if (m_downloadBusy || m_layoutMode == LayoutMode::FullScreen)
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
    if (m_engine.StateValue() == CQTRMediaPlayer::kIdle) {
        UpdateTimeTexts(0, 0);
    }
    ApplyLayout(m_layoutMode);
    LayoutPanes();
}

void CSamplePlayerDlg::OnRestoreSize() {
    if (m_downloadBusy || m_layoutMode == LayoutMode::Normal)
        return;
    m_layoutMode = LayoutMode::Normal;
    showNormal();
    if (m_engine.StateValue() == CQTRMediaPlayer::kIdle) {
        UpdateTimeTexts(0, 0);
    }
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
        ++m_moveRequests;
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
    context.listRowCount = m_list->topLevelItemCount();
    context.pointerInsideList =
        m_list->isVisible() && m_list->rect().contains(m_list->mapFromGlobal(QCursor::pos()));
    context.downloadBusy = m_downloadBusy;
    context.volume = m_volume->GetPos();
    const KeyDecision decision = DecideKey(KeyOf(event->key()), context);
    switch (decision.action) {
    case KeyAction::FullScreen:
        OnFullScreen();
        break;
    case KeyAction::RestoreSize:
        OnRestoreSize();
        break;
    case KeyAction::VolumeUp:
    case KeyAction::VolumeDown:
        m_volume->SetPos(decision.volume);
        break;
    case KeyAction::SecBack:
        TATV_DIAG(&m_diag, "Press Button => VK_LEFT\n");
        OnSecBack();
        break;
    case KeyAction::SecForward:
        TATV_DIAG(&m_diag, "Press Button => VK_RIGHT\n");
        OnSecForward();
        break;
    case KeyAction::Play:
        OnPlay();
        break;
    case KeyAction::Pause:
        OnPause();
        break;
    case KeyAction::Next:
        OnNext();
        break;
    case KeyAction::Pre:
        OnPre();
        break;
    case KeyAction::Open:
        OnOpen();
        break;
    case KeyAction::PassToList:
        return false;
    default:
        break;
    }
    return true;
}

void CSamplePlayerDlg::closeEvent(QCloseEvent* event) {
    ShutDown();
    QDialog::closeEvent(event);
}

void CSamplePlayerDlg::reject() {}

// ---- The recording list and playback ----

bool CSamplePlayerDlg::Loaded() const {
    return m_engine.StateValue() != CQTRMediaPlayer::kIdle;
}

void CSamplePlayerDlg::ShowMessage(int koreanId, int englishId) {
    const QString text =
        QString::fromUtf8(StringText(IsKorean(m_options.languageId) ? koreanId : englishId));
    if (m_messageSink)
        m_messageSink(text);
    else
        QMessageBox::information(this, QApplication::applicationName(), text);
}

QString CSamplePlayerDlg::RowName(int row) const {
    const QTreeWidgetItem* item = m_list->topLevelItem(row);
    return item != nullptr ? item->text(1) : QString();
}

void CSamplePlayerDlg::SelectRow(int row) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (item == nullptr)
        return;
    m_list->clearSelection();
    m_list->setCurrentItem(item);
    item->setSelected(true);
    m_list->scrollToItem(item);
    m_list->setFocus();
}

void CSamplePlayerDlg::ShowPlayButton(bool play) {
    m_playShown = play;
    Control(ControlId::Play)->setVisible(play);
    Control(ControlId::Pause)->setVisible(!play);
}

void CSamplePlayerDlg::SetDeviceVolume(uint32_t volume) {
    m_deviceVolume = volume;
    if (m_audio)
        m_audio->SetVolume(volume);
}

void CSamplePlayerDlg::OnOpen() {
    if (m_downloadBusy)
        return;
    if (m_cardDrive == 0) {
        ShowMessage(445, 446);
        return;
    }
    m_list->clear();
    FillRecordingList(1);
    m_list->show();
}

void CSamplePlayerDlg::FillRecordingList(int filter) {
    for (const std::string& name : RecordingList::ListNames(m_library, m_cardDrive, filter)) {
        const RecordingList::Row row = RecordingList::RowOfName(name);
        auto* item = new QTreeWidgetItem(
            QStringList{QString::fromStdString(row.label), QString::fromStdString(row.name),
                        QString::fromStdString(row.dateText), QString::fromStdString(row.rear),
                        QString(), QString()});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        for (int c : {0, 2, 3, 4, 5})
            item->setTextAlignment(c, Qt::AlignCenter);
        m_list->addTopLevelItem(item);
    }
}

bool CSamplePlayerDlg::PlayFile(const QString& name) {
    if (m_downloadBusy)
        return false;
    if (m_cardDrive == 0)
        return true;
    m_engine.Pause();
    m_engine.Stop();
    m_textData.Clear();
    m_speed->setText(QStringLiteral("Km/h"));
    m_graphDrawnCount = 0;
    for (int series : {m_seriesX, m_seriesY, m_seriesZ})
        m_graph->ClearSeries(series);
    m_graph->Redraw();
    m_front->Clear();
    m_rear->Clear();
    m_engine.Open(name.toStdString());
    m_durationSeconds = StatusText::DurationSeconds(m_engine.DurationMs());
    m_position->SetRange(0, static_cast<int>(std::min<int64_t>(m_durationSeconds, INT32_MAX)));
    m_length->setText(QString::fromStdString(StatusText::TimeText(m_durationSeconds)));
    m_panes = PanesForNewRecording(m_engine.ChannelCount());
    m_map->ClearRoute();
    m_mapDrawn.reset();
    m_map->LoadMapPage();
    Control(ControlId::MapSize)->setEnabled(false);
    m_statusTimer.start();
    LayoutPanes();
    ShowPlayButton(false);
    m_engine.Resume();
    update();
    return true;
}

void CSamplePlayerDlg::OnListDblClk(int row) {
    const QString name = RowName(row);
    if (name.isEmpty())
        return;
    m_currentIndex = row;
    if (!PlayFile(name)) {
        m_currentIndex = -1;
        return;
    }
    ShowPlayButton(false);
    SelectRow(row);
}

void CSamplePlayerDlg::OnPlay() {
    if (m_downloadBusy)
        return;
    const int rows = m_list->topLevelItemCount();
    if (Loaded() && rows > 0) {
        ShowPlayButton(false);
        m_engine.Resume();
        return;
    }
    if (rows == 0)
        return;
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    const int row = selected.isEmpty() ? 0 : m_list->indexOfTopLevelItem(selected.front());
    if (row != m_currentIndex) {
        m_currentIndex = row;
        if (!PlayFile(RowName(row)))
            return;
    }
    // The row stays the current one, also when it is the last row of the list.
    SelectRow(m_currentIndex);
    ShowPlayButton(false);
    m_engine.Resume();
}

void CSamplePlayerDlg::OnPause() {
    if (m_downloadBusy || !Loaded())
        return;
    ShowPlayButton(true);
    m_engine.Pause();
}

void CSamplePlayerDlg::OnStop() {
    if (m_downloadBusy)
        return;
    m_engine.Pause();
    m_engine.Stop();
    m_statusTimer.stop();
    PlacePane(m_front, PanePlace{Rect{kLargeSlot.x, kLargeSlot.y, 0, 0}, false});
    PlacePane(m_rear, PanePlace{Rect{kSmallSlot.x, kSmallSlot.y, 0, 0}, false});
    m_front->Clear();
    m_rear->Clear();
    m_position->SetPos(0);
    UpdateTimeTexts(0, 0);
    m_currentIndex = -1;
    ShowPlayButton(true);
    m_panes = PaneModes{};
    update();
}

void CSamplePlayerDlg::OnNext() {
    if (m_downloadBusy)
        return;
    if (m_currentIndex <= 0) {
        OnStop();
        return;
    }
    const int row = m_currentIndex - 1;
    if (row < m_list->topLevelItemCount())
        MoveToRow(row);
}

void CSamplePlayerDlg::OnPre() {
    if (m_downloadBusy)
        return;
    const int row = m_currentIndex + 1;
    if (row >= m_list->topLevelItemCount()) {
        OnStop();
        return;
    }
    MoveToRow(row);
}

void CSamplePlayerDlg::MoveToRow(int row) {
    m_currentIndex = row;
    const QString name = RowName(row);
    if (name.isEmpty())
        return;
    SelectRow(row);
    PlayFile(name);
}

void CSamplePlayerDlg::OnSecBack() {
    if (m_downloadBusy || !Loaded() || m_engine.CurrentMs() <= 10000)
        return;
    m_engine.StepBackward(10);
    RefreshStatus();
}

void CSamplePlayerDlg::OnSecForward() {
    if (m_downloadBusy || !Loaded() ||
        static_cast<int64_t>(m_engine.DurationMs()) - m_engine.CurrentMs() <= 10000)
        return;
    m_engine.StepForward(10);
    m_graphDrawnCount = 0;
    RefreshStatus();
}

void CSamplePlayerDlg::OnZoomWindow() {
    if (m_downloadBusy)
        return;
    m_zoom->setGeometry(850, 465, 320, 250);
    m_zoom->showNormal();
    if (!m_shutDown)
        m_zoomTimer.start();
}

void CSamplePlayerDlg::FeedZoom(const QPoint& pointer) {
    if (!m_zoom->isVisible())
        return;
    // The zoom follows the picture under the pointer, and the last one pointed at otherwise.
    if (m_front->isVisible() && m_front->rect().contains(m_front->mapFromGlobal(pointer)))
        m_zoomSource = 0;
    if (m_rear->isVisible() && m_rear->rect().contains(m_rear->mapFromGlobal(pointer)))
        m_zoomSource = 1;
    const PictureWidget* source = m_zoomSource == 0 ? m_front : m_rear;
    const QPoint at = source->mapFromGlobal(pointer);
    Picture cut;
    if (!m_decoder.GetCutOut(m_zoomSource, at.x(), at.y(), 320, 240, cut) || cut.Empty())
        return;
    QImage image;
    PictureWidget::CopyToImage(cut, image);
    m_zoom->ShowPicture(image);
}

bool CSamplePlayerDlg::PlayRecording(const QString& name) {
    PollCard();
    m_list->clear();
    FillRecordingList(RecordingList::kFilterAll);
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        if (RowName(row) == name) {
            OnListDblClk(row);
            return true;
        }
    }
    return false;
}

void CSamplePlayerDlg::OnMapSizeButton() {
    if (m_downloadBusy)
        return;
    m_panes = ToggleMapSize(m_panes, Loaded() ? m_engine.ChannelCount() : 0);
    LayoutPanes();
}

void CSamplePlayerDlg::OnSliderMoved(int id, int position) {
    if (id == ControlId::Position) {
        m_engine.SeekToMs(static_cast<int64_t>(position) * 1000);
        RefreshStatus();
    } else if (id == ControlId::Volume) {
        m_mute->setChecked(position == 0);
        SetDeviceVolume(position > 0 ? StatusText::DeviceVolume(position) : 0);
    } else if (id == ControlId::Brightness) {
        m_engine.SetBrightness(0, position);
        m_engine.SetBrightness(1, position);
    }
}

void CSamplePlayerDlg::OnMute() {
    SetDeviceVolume(m_mute->isChecked() ? 0 : StatusText::DeviceVolume(m_volume->GetPos()));
}

void CSamplePlayerDlg::UpdateTimeTexts(int64_t current, int64_t length) {
    const QString now = QString::fromStdString(StatusText::TimeText(current));
    const QString total = QString::fromStdString(StatusText::TimeText(length));
    if (m_currentTime->text() != now)
        m_currentTime->setText(now);
    if (m_length->text() != total)
        m_length->setText(total);
}

void CSamplePlayerDlg::UpdateGraph(int64_t, int64_t current) {
    const int64_t count =
        StatusText::GraphCount(current, static_cast<int64_t>(m_textData.SensorCount()));
    if (count == 0 || count == m_graphDrawnCount)
        return;
    m_graphDrawnCount = count;
    const std::vector<CGSensorData> samples = m_textData.SensorSamples();
    std::vector<int> xs, ys, zs;
    for (int64_t j = 0; j < count && j < static_cast<int64_t>(samples.size()); ++j) {
        const CGSensorData& sample = samples[static_cast<size_t>(j)];
        xs.push_back(sample.x + 150);
        ys.push_back(sample.y + 100);
        zs.push_back(sample.z + 50);
    }
    // One picture for the three series, not one per series.
    m_graph->SetSamples(m_seriesX, xs);
    m_graph->SetSamples(m_seriesY, ys);
    m_graph->SetSamples(m_seriesZ, zs);
    m_graph->Redraw();
}

void CSamplePlayerDlg::RefreshStatus() {
    const int32_t state = m_engine.StateValue();
    const int64_t t = m_engine.CurrentMs() / 1000;
    // The thumb moves once a second: repainting it (and the skin under it) on every tick
    // would draw the same picture ten times.
    const int position = static_cast<int>(std::min<int64_t>(t, INT32_MAX));
    if (!m_position->IsDragging() && m_position->GetPos() != position)
        m_position->SetPos(position);
    UpdateTimeTexts(t, m_durationSeconds);
    if (state != CQTRMediaPlayer::kLoaded)
        return;
    CGPSData fix;
    std::optional<NewestFix> newest;
    if (m_textData.NewestFix(fix))
        newest = NewestFix{fix.valid != 0, GeoPoint{fix.LatitudeDegrees(), fix.LongitudeDegrees()}};
    const MapRefresh map = MapRefreshFor(newest);
    // Fixes come once a second; the page is only asked to redraw for a new one.
    if (map.moveMarker && !(m_mapDrawn && map.position == *m_mapDrawn)) {
        m_mapDrawn = map.position;
        m_map->ShowPosition(map.position.latitude, map.position.longitude);
    }
    if (map.revealMap) {
        TATV_DIAG(&m_diag, "GPS Data => %f, %f\n", fix.LatitudeDegrees(), fix.LongitudeDegrees());
        m_map->setEnabled(true);
        Control(ControlId::MapSize)->setEnabled(true);
        if (m_panes.map == PaneMode::Hidden) {
            m_panes.map = PaneMode::Small;
            LayoutPanes();
        }
        m_speed->setText(QString::fromStdString(StatusText::SpeedText(fix.GetSpeed())));
    }
    UpdateGraph(m_durationSeconds, t);
}
