#pragma once
#include "ui/logic/KeyTable.h"
#include "ui/widgets/SpeedControl.h"

#include <QObject>

#include <functional>

class CBitmapSlider;
class PlaybackController;
class StatusPresenter;
class QWidget;

// The main window's commands for reviewing footage: pictures that follow the position thumb
// while it is dragged, frame steps ("." and ","), and the playing speed ("[" and "]" and the
// speed control). It turns them into calls of the playback controller and refreshes the
// status after each; while the window is busy (a download) it does nothing.
//
// Owns nothing but its links; the speed control is a child of the window, made here, and
// laid out by the window with its other controls.
//
// Threads: GUI thread.
class ReviewCommands final : public QObject {
    Q_OBJECT
public:
    // controller, status and position must outlive the commands; busy() says when commands
    // are ignored.
    ReviewCommands(PlaybackController& controller, StatusPresenter& status, CBitmapSlider* position,
                   std::function<bool()> busy, QWidget* window);

    SpeedControl* SpeedWidget() const { return m_speed; }

    // Carries out the action of a review key; false for the actions of other keys.
    bool HandleKey(KeyAction action);
    // Pauses and moves frames from the picture on screen (negative: back).
    void StepFrames(int frames);
    // Plays at the speed (percent) and shows it.
    void SetSpeed(int percent);
    // The thumb moved to a second while dragged.
    void Scrub(int second);

private:
    PlaybackController& m_controller;
    StatusPresenter& m_status;
    std::function<bool()> m_busy;
    SpeedControl* m_speed; // child of the window
};
