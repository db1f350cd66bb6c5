#include "ImportCommand.h"

#include "CardCommands.h"
#include "CardSink.h"
#include "CommandLine.h"
#include "MediaImporter.h"
#include "storage/RecordingName.h"
#include "storage/TatFormat.h"
#include "ui/logic/RecordingList.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdio>
#include <filesystem>
#include <map>

int ImportCommand(const std::vector<std::string>& args) {
    std::string card;
    ImportSources sources;
    std::string categoryWord;
    std::string name;
    const std::map<std::string, std::string*> values = {{"--front", &sources.front},
                                                        {"--rear", &sources.rear},
                                                        {"--nmea", &sources.gpsLog},
                                                        {"--category", &categoryWord},
                                                        {"--name", &name}};
    std::vector<std::string> options;
    for (const auto& entry : values)
        options.push_back(entry.first);
    const std::string complaint = ReadFolderAndOptions(
        args, options,
        [&](const std::string& option, const std::string* word) -> std::string {
            if (word == nullptr || word->empty())
                return option + " needs a value";
            std::string& value = *values.at(option);
            if (!value.empty())
                return option + " is given twice";
            value = *word;
            return {};
        },
        card);
    if (!complaint.empty())
        return BadArguments(complaint);
    if (card.empty())
        return BadArguments("import needs a card folder");
    if (sources.front.empty())
        return BadArguments("import needs a front video (--front FILE)");
    if (categoryWord.empty())
        return BadArguments("import needs --category event, rec, parking or manual");
    if (name.empty())
        return BadArguments("import needs a recording name (--name CATEGORY_YYYYMMDD_HHMMSS_D)");
    const int category = CategoryFromWord(categoryWord);
    if (category < 0 || category >= tat::kCategoryCount)
        return BadArguments("unknown category " + categoryWord +
                            " (event, rec, parking or manual)");
    tat::RecordingName parsed;
    std::string error;
    if (!tat::ParseRecordingName(name, parsed, &error))
        return BadArguments(error);
    if (parsed.category != category) {
        std::string why = name;
        why.append(" is not a name of the ")
            .append(categoryWord)
            .append(" category (such names start with ")
            .append(tat::kCategoryWords[static_cast<size_t>(category)])
            .append("_)");
        return BadArguments(why);
    }

    std::error_code ec;
    const auto volume = std::filesystem::path(card) / tat::kStoreFolder / tat::kVolumeFile;
    if (!std::filesystem::is_regular_file(volume, ec))
        return CommandFailed("no card in " + card);

    // Our own messages say what went wrong; the libraries' notes would only add lines.
    av_log_set_level(AV_LOG_QUIET);
    CCardSink sink(card);
    ImportResult result;
    if (!ImportRecording(name, sources, sink, &result, &error))
        return CommandFailed(error);
    std::printf("%s: %d front frames (%s)", name.c_str(), result.frontFrames,
                result.frontCopied ? "copied" : "coded again");
    if (parsed.twoChannel)
        std::printf(", %d rear frames (%s)", result.rearFrames,
                    result.rearCopied ? "copied" : "coded again");
    std::printf(", %d sound blocks, %d GPS lines\n", result.audioBlocks, result.gpsLines);
    const auto file = std::filesystem::path(card) / tat::kStoreFolder /
                      tat::kCategoryWords[static_cast<size_t>(category)] /
                      (name + tat::kRecordingExtension);
    const auto bytes = std::filesystem::file_size(file, ec);
    if (!ec && bytes < static_cast<uintmax_t>(RecordingList::kMinRecordingSize))
        std::fprintf(stderr,
                     "tatcard: warning: %s is %ju bytes; the window lists only recordings of "
                     "512 KiB (%lld bytes) or more, so it will not show this one (tatcard ls, "
                     "info, export and play still reach it)\n",
                     name.c_str(), bytes, static_cast<long long>(RecordingList::kMinRecordingSize));
    return 0;
}
