#include "CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

int BadArguments(const std::string& why) {
    std::fprintf(stderr, "tatcard: %s (tatcard --help shows the usage)\n", why.c_str());
    return 2;
}

int CommandFailed(const std::string& why) {
    std::fprintf(stderr, "tatcard: %s\n", why.c_str());
    return 1;
}

bool MakeTargetFolder(const std::string& folder) {
    std::error_code error;
    if (std::filesystem::is_directory(folder, error))
        return true;
    std::filesystem::create_directories(folder, error);
    if (error) {
        CommandFailed("cannot create the folder " + folder + ": " + error.message());
        return false;
    }
    return true;
}

std::string ReadFolderAndOptions(const std::vector<std::string>& args,
                                 const std::vector<std::string>& options, const OptionReader& read,
                                 std::string& folder) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (std::find(options.begin(), options.end(), word) != options.end()) {
            const std::string* value = i + 1 < args.size() ? &args[++i] : nullptr;
            std::string complaint = read(word, value);
            if (!complaint.empty())
                return complaint;
        } else if (folder.empty() && word.rfind("--", 0) != 0) {
            folder = word;
        } else {
            return "unexpected argument " + word;
        }
    }
    return {};
}

bool ParseGapSeconds(const std::string& text, int64_t& gapMs) {
    char* end = nullptr;
    errno = 0;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !(seconds >= 0) || !(seconds <= 3600))
        return false;
    gapMs = static_cast<int64_t>(seconds * 1000.0);
    return true;
}

bool ParseSpeedUnitWord(const std::string& text, SpeedUnit& unit) {
    if (text != speedunit::Word(SpeedUnit::kKmh) && text != speedunit::Word(SpeedUnit::kMph))
        return false;
    unit = speedunit::FromWord(text, unit);
    return true;
}
