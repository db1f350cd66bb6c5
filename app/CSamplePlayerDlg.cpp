#include "CSamplePlayerDlg.h"

#include "CBitmapButtonTrans.h"
#include "CBitmapSlider.h"
#include "CxSkinButton.h"
#include "Language.h"
#include "PictureWidget.h"
#include "PlayerConfig.h"
#include "SkinBitmaps.h"
#include "StringTable.h"

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
    m_map = new QWidget(this);
    m_controls[ControlId::Map] = m_map;
    m_graph = new QWidget(this);
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
    m_currentTime->setText(QStringLiteral("00:00:00"));
    m_length->setText(QStringLiteral("00:00:00"));
    m_position->SetPos(0);
    m_position->update();
    m_volume->update();
    if (m_audio)
        m_audio->SetVolume(0x7FFF7FFF);
    update();
}

void CSamplePlayerDlg::OnMediaEnd() {
    TATV_DIAG(&m_diag, "Media End Recv [%d]\n", CQTRMediaPlayer::kEventEnd);
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
        m_panes = ToggleMapSize(m_panes, m_engine.ChannelCount());
    if (m_engine.StateValue() == CQTRMediaPlayer::kIdle) {
        m_currentTime->setText(QStringLiteral("00:00:00"));
        m_length->setText(QStringLiteral("00:00:00"));
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
        m_currentTime->setText(QStringLiteral("00:00:00"));
        m_length->setText(QStringLiteral("00:00:00"));
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
        break;
    case KeyAction::SecForward:
        TATV_DIAG(&m_diag, "Press Button => VK_RIGHT\n");
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
