#include "ReviewCommands.h"

#include "PlaybackController.h"
#include "StatusPresenter.h"
#include "ui/logic/PlaybackSpeed.h"
#include "ui/widgets/CBitmapSlider.h"
#include "ui/widgets/SpeedControl.h"

ReviewCommands::ReviewCommands(PlaybackController& controller, StatusPresenter& status,
                               CBitmapSlider* position, std::function<bool()> busy, QWidget* window)
    : m_controller(controller), m_status(status), m_busy(std::move(busy)),
      m_speed(new SpeedControl(window)) {
    m_speed->SetSpeed(m_controller.Speed());
    connect(m_speed, &SpeedControl::speedRequested, this, &ReviewCommands::SetSpeed);
    connect(position, &CBitmapSlider::sliderMoving, this,
            [this](int, int second) { Scrub(second); });
}

bool ReviewCommands::HandleKey(KeyAction action) {
    switch (action) {
    case KeyAction::FrameNext:
        StepFrames(1);
        return true;
    case KeyAction::FramePrevious:
        StepFrames(-1);
        return true;
    case KeyAction::Faster:
        SetSpeed(PlaybackSpeed::Faster(m_controller.Speed()));
        return true;
    case KeyAction::Slower:
        SetSpeed(PlaybackSpeed::Slower(m_controller.Speed()));
        return true;
    default:
        return false;
    }
}

void ReviewCommands::StepFrames(int frames) {
    if (!m_busy() && m_controller.StepFrames(frames))
        m_status.Refresh();
}

void ReviewCommands::SetSpeed(int percent) {
    if (m_busy())
        return;
    m_controller.SetSpeed(percent);
    m_speed->SetSpeed(m_controller.Speed());
}

void ReviewCommands::Scrub(int second) {
    if (!m_busy()) {
        m_controller.ScrubToSecond(second);
        m_status.Refresh();
    }
}
