#include "DemoScene.h"

#include "BitmapFont.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// xorshift32: a small deterministic generator for the textures.
uint32_t NextRandom(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

int64_t Wrap(int64_t value, int64_t period) {
    const int64_t r = value % period;
    return r < 0 ? r + period : r;
}

constexpr int kGrain = 4;      // pixels per side of an asphalt grain cell
constexpr int kGrainDepth = 8; // luma spread of the grain

uint8_t ClampLuma(int value) {
    return static_cast<uint8_t>(std::clamp(value, 16, 235));
}

} // namespace

CDemoScene::CDemoScene(int width, int height, uint32_t seed)
    : m_width(width), m_height(height), m_horizon(height * 2 / 5) {
    uint32_t state = seed * 2654435761u + 12345u;
    if (state == 0)
        state = 1;
    // Asphalt: grain in 4 x 4 cells around a mid grey, with a few darker patches.
    m_asphalt.resize(static_cast<size_t>(kTile) * kTile);
    for (int y = 0; y < kTile; y += kGrain) {
        for (int x = 0; x < kTile; x += kGrain) {
            const int grain =
                static_cast<int>(NextRandom(state) % (2 * kGrainDepth + 1)) - kGrainDepth;
            const int patch = ((x / 32 + y / 32) % 5 == 0) ? -12 : 0;
            const uint8_t v = ClampLuma(96 + grain + patch);
            for (int dy = 0; dy < kGrain; ++dy)
                std::memset(
                    &m_asphalt[static_cast<size_t>(y + dy) * kTile + static_cast<size_t>(x)], v,
                    kGrain);
        }
    }
    // Skyline: buildings of random width, height and shade.
    const size_t columns = static_cast<size_t>(kTile) * 4;
    m_skyline.resize(columns);
    m_buildingTint.resize(columns);
    size_t x = 0;
    while (x < columns) {
        const size_t w = 12 + NextRandom(state) % 40;
        const auto h = static_cast<uint8_t>(20 + NextRandom(state) % 200);
        const auto tint = static_cast<uint8_t>(60 + NextRandom(state) % 80);
        for (size_t i = x; i < std::min(x + w, columns); ++i) {
            m_skyline[i] = h;
            m_buildingTint[i] = tint;
        }
        x += w;
    }
}

void CDemoScene::Render(int64_t travel, YuvPicture& picture) const {
    const PlaneView luma = picture.Plane(0);
    const PlaneView cb = picture.Plane(1);
    const PlaneView cr = picture.Plane(2);
    const int skylineTop = m_horizon - m_height / 6;
    const auto skylineHeight = static_cast<double>(m_horizon - skylineTop);

    // Sky: lighter towards the horizon.
    for (int y = 0; y < m_horizon; ++y)
        std::memset(&luma.At(0, y), ClampLuma(150 + 60 * y / std::max(1, m_horizon)),
                    static_cast<size_t>(m_width));
    // Skyline drifting sideways, slower than the road.
    const int64_t drift = travel / 8;
    const auto columns = static_cast<int64_t>(m_skyline.size());
    for (int x = 0; x < m_width; ++x) {
        const auto column = static_cast<size_t>(
            Wrap(drift + x * static_cast<int64_t>(kTile) * 4 / m_width / 2, columns));
        const int top = m_horizon - static_cast<int>(m_skyline[column] * skylineHeight / 255.0);
        const uint8_t wall = m_buildingTint[column];
        const auto lit = static_cast<uint8_t>(wall + 25); // a lit band every 12 rows
        uint8_t* out = &luma.At(x, std::max(top, 0));
        for (int y = std::max(top, 0); y < m_horizon; ++y, out += luma.stride)
            *out = (y - top) % 12 < 2 ? lit : wall;
    }
    // Road: the asphalt texture moving towards the viewer.
    for (int y = m_horizon; y < m_height; ++y) {
        const auto row = static_cast<size_t>(Wrap(y + travel, kTile));
        const uint8_t* source = &m_asphalt[row * kTile];
        uint8_t* out = &luma.At(0, y);
        const auto shift = static_cast<size_t>(Wrap(y - m_horizon, kTile));
        int x = 0;
        size_t from = shift;
        while (x < m_width) {
            const size_t n = std::min(static_cast<size_t>(m_width - x), kTile - from);
            std::memcpy(out + x, source + from, n);
            x += static_cast<int>(n);
            from = 0;
        }
        // Edge lines and the dashed centre line, in perspective.
        const int depth = y - m_horizon + 1;
        const int centre = m_width / 2;
        const int spread = depth * m_width / (m_height - m_horizon) * 9 / 20;
        const int lineWidth = 1 + depth * m_width / 20 / (m_height - m_horizon) / 2;
        bitmapfont::FillRect(luma, centre - spread - lineWidth, y, lineWidth, 1, 225);
        bitmapfont::FillRect(luma, centre + spread, y, lineWidth, 1, 225);
        const int64_t distance = 40000 / depth + travel; // a dash every 64 units of distance
        if (Wrap(distance, 64) < 32)
            bitmapfont::FillRect(luma, centre - lineWidth / 2, y, lineWidth, 1, 210);
    }
    // Colour: blue sky, grey everything else.
    const int chromaHorizon = m_horizon / 2;
    for (int y = 0; y < cb.height; ++y) {
        const bool sky = y < chromaHorizon - (m_horizon - skylineTop) / 2;
        std::memset(&cb.At(0, y), sky ? 150 : kChromaNeutral, static_cast<size_t>(cb.width));
        std::memset(&cr.At(0, y), sky ? 112 : kChromaNeutral, static_cast<size_t>(cr.width));
    }
}

std::string CaptionTime(int frame, int framesPerSecond) {
    const int seconds = frame / std::max(1, framesPerSecond);
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d  FRAME %d", seconds / 60, seconds % 60, frame);
    return text;
}

void DrawCaption(YuvPicture& picture, const std::string& name, int frame, int framesPerSecond,
                 bool flash) {
    if (flash)
        picture.Fill(kLumaWhite, kChromaNeutral, kChromaNeutral);
    const int scale = std::max(1, picture.Height() / 180);
    const std::string time = CaptionTime(frame, framesPerSecond);
    const int margin = 4 * scale;
    const int lineHeight = bitmapfont::TextHeight(scale) + 3 * scale;
    const int boxWidth =
        std::max(bitmapfont::TextWidth(name, scale), bitmapfont::TextWidth(time, scale)) +
        2 * margin;
    const int boxHeight = 2 * lineHeight + margin;
    const int left = 2 * margin;
    const int top = picture.Height() - boxHeight - 2 * margin;
    const PlaneView luma = picture.Plane(0);
    const uint8_t ink = flash ? kLumaBlack : kLumaWhite;
    if (!flash) {
        bitmapfont::FillRect(luma, left, top, boxWidth, boxHeight, kLumaBlack);
        bitmapfont::FillRect(picture.Plane(1), left / 2, top / 2, boxWidth / 2 + 1,
                             boxHeight / 2 + 1, kChromaNeutral);
        bitmapfont::FillRect(picture.Plane(2), left / 2, top / 2, boxWidth / 2 + 1,
                             boxHeight / 2 + 1, kChromaNeutral);
    }
    bitmapfont::DrawText(luma, left + margin, top + margin, name, scale, ink);
    bitmapfont::DrawText(luma, left + margin, top + margin + lineHeight, time, scale, ink);
}
