// Prints the filter graph the clip encoder builds for a layout, labelled for the ffmpeg
// program's -filter_complex (inputs "0:v", "1:v", ...; output "out"), so that the clip
// benchmark runs ffmpeg on the very same picture work:
//   clip_graph LAYOUT FRONT_WxH [REAR_WxH ...] [--text TEXT]
// With --text the overlay is drawn with that text (as the encoder draws one second's).
#include "clips/ClipGraph.h"
#include "clips/ClipRequest.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: clip_graph LAYOUT FRONT_WxH [OTHER_WxH ...] [--text T]\n");
        return 2;
    }
    const std::optional<clips::Layout> layout = clips::LayoutFromWord(argv[1]);
    if (!layout) {
        std::fprintf(stderr, "clip_graph: unknown layout %s\n", argv[1]);
        return 2;
    }
    std::vector<clips::CameraSize> cameras;
    std::optional<std::string> text;
    for (int k = 2; k < argc; ++k) {
        const std::string argument = argv[k];
        if (argument == "--text" && k + 1 < argc) {
            text = argv[++k];
            continue;
        }
        clips::CameraSize size;
        if (std::sscanf(argument.c_str(), "%dx%d", &size.width, &size.height) != 2) {
            std::fprintf(stderr, "clip_graph: %s is not WIDTHxHEIGHT\n", argument.c_str());
            return 2;
        }
        cameras.push_back(size);
    }
    const clips::PictureLayout picture = clips::ArrangePictures(*layout, cameras);
    std::vector<std::string> inputs;
    for (size_t k = 0; k < picture.places.size(); ++k)
        inputs.push_back(std::to_string(picture.places[k].camera) + ":v");
    const std::string graph =
        clips::FilterDescription(picture, inputs, "out", text.has_value(), text.value_or(""));
    if (graph.empty()) {
        std::fprintf(stderr, "clip_graph: no picture for these cameras\n");
        return 1;
    }
    std::printf("%s\n", graph.c_str());
    return 0;
}
