#pragma once
#include "MainLayout.h"

#include <cstdint>

// The main window's skin: which skin bitmaps (resource ids of the skin folder) each control
// shows.

// Skin ids of the bitmap buttons: normal, pressed, focused, disabled (0: none).
struct ButtonSkin {
    int id;
    int normal;
    int pressed;
    int focused;
    int disabled;
};
inline constexpr ButtonSkin kButtonSkins[] = {
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

// The key colour of the sliders' bitmaps: pixels of this colour are not drawn.
inline constexpr uint32_t kSliderKey = 0xFF000000;
