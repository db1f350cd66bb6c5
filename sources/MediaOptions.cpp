#include "sources/MediaOptions.h"

#include "player/source/CDashcamParser.h"

namespace sources {

Options WithMediaParsers(const DiagLog* diag) {
    Options options;
    options.diag = diag;
    options.folderParser =
        [](const std::vector<DashcamRecording>& recordings) -> std::unique_ptr<VMediaParser> {
        auto parser = std::make_unique<CDashcamParser>();
        parser->SetRecordings(recordings);
        return parser;
    };
    return options;
}

} // namespace sources
