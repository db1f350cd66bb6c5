#pragma once

#include "YuvPicture.h"

#include <cstdint>
#include <string>
#include <vector>

// The made-up view of a dash camera: sky, a skyline that drifts sideways, and an asphalt road
// with edge lines and a dashed centre line that run towards the viewer as the car moves.
// The asphalt is a grainy texture so that the coded pictures carry real detail.
//
// Rendering is row by row (copies and fills), cheap enough for 1280 x 720 at many hundred
// pictures per second.
class CDemoScene {
public:
    // seed varies the texture and the skyline; the same seed draws the same pictures.
    CDemoScene(int width, int height, uint32_t seed);

    // Draws the view after the road has moved by travel pixels (grows while the car drives;
    // negative values run the road the other way, as a rear camera sees it).
    void Render(int64_t travel, YuvPicture& picture) const;

private:
    static constexpr int kTile = 256; // the asphalt texture repeats every kTile pixels

    int m_width;
    int m_height;
    int m_horizon;
    std::vector<uint8_t> m_asphalt;      // kTile x kTile luma
    std::vector<uint8_t> m_skyline;      // building height per column, kTile * 4 columns
    std::vector<uint8_t> m_buildingTint; // luma of each building column
};

// The caption burnt into every picture: the recording's name on the first line and the running
// time and frame number on the second, white on a dark box; on a flash picture (the first of
// every whole second) the picture is white and the caption black.
void DrawCaption(YuvPicture& picture, const std::string& name, int frame, int framesPerSecond,
                 bool flash);

// The second line of the caption: "mm:ss  FRAME n".
std::string CaptionTime(int frame, int framesPerSecond);
