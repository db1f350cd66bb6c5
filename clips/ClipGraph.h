#pragma once

#include "clips/ClipRequest.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

struct AVFilterContext;
struct AVFilterGraph;
struct AVFrame;

// How a re-encoded clip's picture is put together from the cameras' pictures, as one
// libavfilter graph: each camera scaled once to its place (bicubic), laid over the front (the
// overlay filter, which takes the front's times: a camera at another rate is shown with its
// latest picture at or before each front picture, and its last one after it ends), the
// overlay's text drawn on (drawtext), and the result in yuv420p for the H.264 encoder.
namespace clips {

// The size in pixels of a camera's pictures as they come from its decoder; 0 × 0 when the
// camera gives none.
struct CameraSize {
    int width = 0;
    int height = 0;
};

// Where one camera's picture lies in the clip's picture (pixels; even numbers, as 4:2:0
// needs): scaled to width × height with its top-left corner at x, y.
struct Placement {
    int camera = 0; // index into the cameras ArrangePictures was given
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The clip's picture: its size, the cameras' places (the front first: it is the canvas the
// others are laid over, in this order) and the text's size.
struct PictureLayout {
    int width = 0;
    int height = 0;
    std::vector<Placement> places;
    int fontSize = 0; // pixels
    int margin = 0;   // pixels between the text's box (and the picture-in-picture) and the edge
};

// The font the overlay's text is drawn in (Debian's fonts-dejavu-core).
inline constexpr const char* kOverlayFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The picture of a layout for cameras of these sizes (cameras[0] the front; at most six are
// placed, the ones of size 0 × 0 left out):
//   front: the front alone at its size;
//   pip:   the front, the rear (camera 1) scaled to a quarter of the width in the lower
//          right corner, a margin from the edges;
//   side:  the cameras side by side, each scaled to the front's height;
//   grid:  2 × 1 for two, 2 × 2 up to four, 3 × 2 up to six cameras in cells of the front's
//          size divided by the columns, each camera scaled to fit its cell, centred.
// With the front alone every layout is the front's. Sizes are rounded to even pixels. An
// absent front gives an empty layout (0 × 0, no places).
PictureLayout ArrangePictures(Layout layout, const std::vector<CameraSize>& cameras);

// The filter graph description of a layout: `inputs` labels the places' pictures in order
// ("c0", "c1" for the encoder's buffer sources; "0:v", "1:v" for the ffmpeg program's
// -filter_complex), `output` the result. With `overlay` the text (plain; escaped here) is
// drawn by a drawtext filter named kTextFilter. The ffmpeg program given the same text, sizes
// and encoder settings does the same work as the encoder.
std::string FilterDescription(const PictureLayout& layout, const std::vector<std::string>& inputs,
                              const std::string& output, bool overlay, std::string_view text);

// The drawtext filter's instance name, which text changes are sent to.
inline constexpr const char* kTextFilter = "drawtext@info";

// A value escaped for libavfilter's option parser (key=value pairs split at ':'): '\', '\'' and
// ':' get a backslash. drawtext takes the text with expansion=none, so '%' stays as it is.
std::string EscapeOptionValue(std::string_view value);
// A filter's arguments escaped for a filter graph description: '\', '\'', '[', ']', ',' and
// ';' get a backslash.
std::string EscapeGraphArguments(std::string_view arguments);

// The format of one input's pictures.
struct GraphInput {
    int width = 0;
    int height = 0;
    int format = 0; // AVPixelFormat
    AVRational sampleAspect{0, 1};
};

// The graph of a description made by FilterDescription with inputs "c0", "c1", ... and output
// "out": frames in at the inputs (times in µs), the clip's pictures out (times in TimeBase()).
//
// Owns the libavfilter graph. One thread (the exporting one); not copyable.
class ClipGraph {
public:
    ClipGraph() = default;
    ~ClipGraph();
    ClipGraph(const ClipGraph&) = delete;
    ClipGraph& operator=(const ClipGraph&) = delete;

    // Builds and configures the graph; false with `error` set (libavfilter's reason).
    bool Build(const std::string& description, const std::vector<GraphInput>& inputs,
               std::string& error);
    bool Built() const { return m_graph != nullptr; }

    // Hands a picture to an input (its time in µs; the frame is referenced, the caller keeps
    // its own). 0 or libavfilter's negative error.
    int Push(size_t input, AVFrame* frame);
    // Ends an input; pictures of the others go on against its last one. 0 or an error.
    int End(size_t input);
    // The next picture of the clip into `frame`: 0; AVERROR(EAGAIN) when the graph needs more
    // input; AVERROR_EOF after every input ended and the last picture came out.
    int Pull(AVFrame* frame);

    // Makes the drawtext filter draw `text` (plain) from the picture of time timeUs on (at the
    // filter's input; pictures before it keep the text they had). False when the graph has no
    // text filter or the command could not be queued.
    bool ChangeText(const std::string& text, int64_t timeUs);

    // The output's size and time base, once built.
    int Width() const;
    int Height() const;
    AVRational TimeBase() const;

private:
    AVFilterGraph* m_graph = nullptr; // owned, with its filters
    std::vector<AVFilterContext*> m_inputs;
    AVFilterContext* m_output = nullptr;
};

} // namespace clips
