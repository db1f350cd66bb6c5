#pragma once
#include "player/api/VAudioTempo.h"

#include <cstdint>
#include <vector>

struct AVFilterGraph;
struct AVFilterContext;
struct AVFrame;

// Tempo changes through libavfilter's atempo filter (WSOLA): one filter graph
// abuffer → atempo → abuffersink per stretch, fed and drained on the caller's thread.
//
// Owns the graph and its frames. Threads: one caller thread (as VAudioTempo).
class CAudioTempo final : public VAudioTempo {
public:
    CAudioTempo() = default;
    ~CAudioTempo() override;
    CAudioTempo(const CAudioTempo&) = delete;
    CAudioTempo& operator=(const CAudioTempo&) = delete;

    bool Begin(int32_t bitsPerSample, int32_t samplesPerSecond, double tempo) override;
    bool Process(const uint8_t* bytes, int32_t length, std::vector<uint8_t>& out) override;

private:
    void Free();
    bool Drain(std::vector<uint8_t>& out);

    AVFilterGraph* m_graph = nullptr;    // owned
    AVFilterContext* m_source = nullptr; // owned by the graph
    AVFilterContext* m_sink = nullptr;   // owned by the graph
    AVFrame* m_frame = nullptr;          // owned; reused for input and output
    int32_t m_sampleBytes = 2;
    int32_t m_rate = 8000;
    int64_t m_fed = 0; // samples fed since Begin: the next input frame's time stamp
};
