#include "clips/ClipGraph.h"

#include "clips/AvErrorText.h"
#include "clips/ClipMuxer.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

namespace clips {

namespace {

constexpr size_t kMostCameras = 6;

// The nearest even number of pixels, at least 2.
int Even(double pixels) {
    const long even = 2 * std::lround(pixels / 2.0);
    return static_cast<int>(std::max(2L, even));
}

std::string Size(int width, int height) {
    return std::to_string(width) + ":" + std::to_string(height);
}

} // namespace

PictureLayout ArrangePictures(Layout layout, const std::vector<CameraSize>& cameras) {
    PictureLayout out;
    if (cameras.empty() || cameras[0].width <= 0 || cameras[0].height <= 0)
        return out;
    std::vector<size_t> present = {0};
    for (size_t c = 1; c < cameras.size() && present.size() < kMostCameras; ++c)
        if (cameras[c].width > 0 && cameras[c].height > 0)
            present.push_back(c);
    if (layout == Layout::kPip && (cameras.size() < 2 || cameras[1].width <= 0))
        present.resize(1); // the picture-in-picture shows the rear or nothing
    if (present.size() == 1)
        layout = Layout::kFront;

    const int frontWidth = Even(cameras[0].width);
    const int frontHeight = Even(cameras[0].height);
    const auto aspect = [&](size_t c) {
        return static_cast<double>(cameras[c].width) / cameras[c].height;
    };
    switch (layout) {
    case Layout::kFront:
        out.width = frontWidth;
        out.height = frontHeight;
        out.places.push_back({0, 0, 0, frontWidth, frontHeight});
        break;
    case Layout::kPip: {
        out.width = frontWidth;
        out.height = frontHeight;
        out.places.push_back({0, 0, 0, frontWidth, frontHeight});
        const int margin = std::max(4, Even(frontWidth / 80.0));
        const int width = Even(frontWidth / 4.0);
        const int height = std::min(Even(width / aspect(1)), frontHeight - 2 * margin);
        out.places.push_back(
            {1, frontWidth - width - margin, frontHeight - height - margin, width, height});
        break;
    }
    case Layout::kSide: {
        int x = 0;
        for (const size_t c : present) {
            const int width = c == 0 ? frontWidth : Even(frontHeight * aspect(c));
            out.places.push_back({static_cast<int>(c), x, 0, width, frontHeight});
            x += width;
        }
        out.width = x;
        out.height = frontHeight;
        break;
    }
    case Layout::kGrid: {
        const int columns = present.size() <= 4 ? 2 : 3;
        const int rows = present.size() <= 2 ? 1 : 2;
        const int cellWidth = Even(static_cast<double>(frontWidth) / columns);
        const int cellHeight = Even(static_cast<double>(frontHeight) / columns);
        for (size_t k = 0; k < present.size(); ++k) {
            const size_t c = present[k];
            const int column = static_cast<int>(k) % columns;
            const int row = static_cast<int>(k) / columns;
            const double scale = std::min(static_cast<double>(cellWidth) / cameras[c].width,
                                          static_cast<double>(cellHeight) / cameras[c].height);
            const int width =
                c == 0 ? cellWidth : std::min(cellWidth, Even(cameras[c].width * scale));
            const int height =
                c == 0 ? cellHeight : std::min(cellHeight, Even(cameras[c].height * scale));
            const int x = column * cellWidth + (cellWidth - width) / 2 / 2 * 2;
            const int y = row * cellHeight + (cellHeight - height) / 2 / 2 * 2;
            out.places.push_back({static_cast<int>(c), x, y, width, height});
        }
        out.width = columns * cellWidth;
        out.height = rows * cellHeight;
        break;
    }
    }
    out.fontSize = std::max(10, std::min(out.width / 64, out.height / 20));
    out.margin = std::max(4, Even(out.width / 80.0));
    return out;
}

std::string EscapeOptionValue(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 8);
    for (const char c : value) {
        if (c == '\\' || c == '\'' || c == ':')
            out += '\\';
        out += c;
    }
    return out;
}

std::string EscapeGraphArguments(std::string_view arguments) {
    std::string out;
    out.reserve(arguments.size() + 8);
    for (const char c : arguments) {
        if (c == '\\' || c == '\'' || c == '[' || c == ']' || c == ',' || c == ';')
            out += '\\';
        out += c;
    }
    return out;
}

std::string FilterDescription(const PictureLayout& layout, const std::vector<std::string>& inputs,
                              const std::string& output, bool overlay, std::string_view text) {
    if (layout.places.empty() || inputs.size() < layout.places.size())
        return {};
    const auto label = [](const std::string& name) { return "[" + name + "]"; };
    const auto scale = [](const Placement& place) {
        return "scale=" + Size(place.width, place.height) + ":flags=bicubic";
    };
    // The front, scaled to its place and, when the others lie beside it, on a black canvas.
    const Placement& front = layout.places[0];
    std::string graph = label(inputs[0]) + scale(front);
    if (layout.width != front.width || layout.height != front.height)
        graph += ",pad=" + Size(layout.width, layout.height) + ":" + Size(front.x, front.y) +
                 ":color=black";
    for (size_t k = 1; k < layout.places.size(); ++k) {
        const Placement& place = layout.places[k];
        const std::string below = "b" + std::to_string(k - 1);
        const std::string picture = "p" + std::to_string(k);
        graph += label(below) + ";" + label(inputs[k]) + scale(place) + label(picture) + ";" +
                 label(below) + label(picture) + "overlay=x=" + std::to_string(place.x) +
                 ":y=" + std::to_string(place.y) + ":eof_action=repeat:repeatlast=1:eval=init";
    }
    graph += ",format=yuv420p";
    if (overlay) {
        const int border = std::max(2, layout.fontSize / 4);
        const int inset = layout.margin + border;
        const std::string arguments =
            "fontfile=" + EscapeOptionValue(kOverlayFont) +
            ":expansion=none:fontsize=" + std::to_string(layout.fontSize) +
            ":fontcolor=white:box=1:boxcolor=black@0.6:boxborderw=" + std::to_string(border) +
            ":line_spacing=" + std::to_string(std::max(2, layout.fontSize / 4)) +
            ":x=" + std::to_string(inset) + ":y=h-th-" + std::to_string(inset) +
            ":text=" + EscapeOptionValue(text);
        graph += "," + std::string(kTextFilter) + "=" + EscapeGraphArguments(arguments);
    }
    graph += label(output);
    return graph;
}

ClipGraph::~ClipGraph() {
    avfilter_graph_free(&m_graph);
}

bool ClipGraph::Build(const std::string& description, const std::vector<GraphInput>& inputs,
                      std::string& error) {
    avfilter_graph_free(&m_graph);
    m_inputs.clear();
    m_output = nullptr;
    m_graph = avfilter_graph_alloc();
    if (m_graph == nullptr) {
        error = "out of memory for the filter graph";
        return false;
    }
    const auto fail = [&](const std::string& what, int code) {
        error = what + ": " + AvErrorText(code);
        avfilter_graph_free(&m_graph);
        m_inputs.clear();
        m_output = nullptr;
        return false;
    };

    AVFilterInOut* opened = nullptr; // the sources' outputs the description's inputs take
    for (size_t k = 0; k < inputs.size(); ++k) {
        const GraphInput& in = inputs[k];
        const char* format = av_get_pix_fmt_name(static_cast<AVPixelFormat>(in.format));
        const AVRational aspect =
            in.sampleAspect.num > 0 && in.sampleAspect.den > 0 ? in.sampleAspect : AVRational{1, 1};
        const std::string arguments =
            "video_size=" + std::to_string(in.width) + "x" + std::to_string(in.height) +
            ":pix_fmt=" + (format != nullptr ? format : "yuv420p") +
            ":time_base=1/1000000:pixel_aspect=" + std::to_string(aspect.num) + "/" +
            std::to_string(aspect.den);
        AVFilterContext* source = nullptr;
        const std::string name = "c" + std::to_string(k);
        int result =
            avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), name.c_str(),
                                         arguments.c_str(), nullptr, m_graph);
        if (result < 0) {
            avfilter_inout_free(&opened);
            return fail("the picture source " + name + " could not be made", result);
        }
        m_inputs.push_back(source);
        AVFilterInOut* link = avfilter_inout_alloc();
        if (link == nullptr) {
            avfilter_inout_free(&opened);
            return fail("the filter graph", AVERROR(ENOMEM));
        }
        link->name = av_strdup(name.c_str());
        link->filter_ctx = source;
        link->pad_idx = 0;
        link->next = nullptr;
        AVFilterInOut** tail = &opened;
        while (*tail != nullptr)
            tail = &(*tail)->next;
        *tail = link;
    }
    int result = avfilter_graph_create_filter(&m_output, avfilter_get_by_name("buffersink"), "out",
                                              nullptr, nullptr, m_graph);
    if (result < 0) {
        avfilter_inout_free(&opened);
        return fail("the picture sink could not be made", result);
    }
    AVFilterInOut* wanted = avfilter_inout_alloc();
    if (wanted == nullptr) {
        avfilter_inout_free(&opened);
        return fail("the filter graph", AVERROR(ENOMEM));
    }
    wanted->name = av_strdup("out");
    wanted->filter_ctx = m_output;
    wanted->pad_idx = 0;
    wanted->next = nullptr;

    result = avfilter_graph_parse_ptr(m_graph, description.c_str(), &wanted, &opened, nullptr);
    avfilter_inout_free(&wanted);
    avfilter_inout_free(&opened);
    if (result < 0)
        return fail("the filter graph could not be read", result);
    result = avfilter_graph_config(m_graph, nullptr);
    if (result < 0)
        return fail("the filter graph could not be set up", result);
    return true;
}

int ClipGraph::Push(size_t input, AVFrame* frame) {
    if (input >= m_inputs.size())
        return AVERROR(EINVAL);
    return av_buffersrc_add_frame_flags(m_inputs[input], frame, AV_BUFFERSRC_FLAG_KEEP_REF);
}

int ClipGraph::End(size_t input) {
    if (input >= m_inputs.size())
        return AVERROR(EINVAL);
    return av_buffersrc_add_frame_flags(m_inputs[input], nullptr, 0);
}

int ClipGraph::Pull(AVFrame* frame) {
    if (m_output == nullptr)
        return AVERROR(EINVAL);
    return av_buffersink_get_frame(m_output, frame);
}

bool ClipGraph::ChangeText(const std::string& text, int64_t timeUs) {
    if (m_graph == nullptr || avfilter_graph_get_filter(m_graph, kTextFilter) == nullptr)
        return false;
    const std::string argument = "text=" + EscapeOptionValue(text);
    // A little before the picture's time: the filter compares in seconds (double), and the
    // picture before lies a whole frame earlier.
    const double seconds = static_cast<double>(timeUs - 100) / 1e6;
    return avfilter_graph_queue_command(m_graph, kTextFilter, "reinit", argument.c_str(), 0,
                                        seconds) >= 0;
}

int ClipGraph::Width() const {
    return m_output != nullptr ? av_buffersink_get_w(m_output) : 0;
}

int ClipGraph::Height() const {
    return m_output != nullptr ? av_buffersink_get_h(m_output) : 0;
}

AVRational ClipGraph::TimeBase() const {
    return m_output != nullptr ? av_buffersink_get_time_base(m_output) : AVRational{1, 1000000};
}

} // namespace clips
