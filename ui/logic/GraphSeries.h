#pragma once

#include <array>
#include <cstdint>

// One trace of the graph: a ring of the most recent samples (values, not pixels)
// with the colour and pen width it is drawn with.
//
// The ring holds kCapacity samples. The write index is where the next sample goes; once the
// ring is full each new sample overwrites the oldest one, so the newest kCapacity samples are
// always available, newest first, through Newest().
//
// Plain value type, no threads of its own; the graph that owns it uses it on the GUI thread.
class GraphSeries {
public:
    static constexpr int kCapacity = 1024;

    // colorBgr: 0x00BBGGRR. penWidth: pixels, at least 1 (smaller values are taken as 1).
    GraphSeries(uint32_t colorBgr, int penWidth);

    uint32_t ColorBgr() const { return colorBgr_; }
    int PenWidth() const { return penWidth_; }

    bool IsVisible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }

    // Forgets every sample: write index 0, nothing held.
    void Clear();

    // Stores value at the write index and advances it, wrapping from kCapacity - 1 to 0.
    void Add(double value);

    // Samples held: the number added since the last Clear, at most kCapacity.
    int Count() const { return count_; }

    // Where the next sample goes, 0 .. kCapacity - 1.
    int WriteIndex() const { return writeIndex_; }

    // The age-th newest sample: 0 is the last one added. age must be below Count().
    double Newest(int age) const;

private:
    uint32_t colorBgr_;
    int penWidth_;
    bool visible_ = true;
    std::array<double, kCapacity> samples_{};
    int writeIndex_ = 0;
    int count_ = 0;
};
