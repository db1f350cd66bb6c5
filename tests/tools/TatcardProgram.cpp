#include "TatcardProgram.h"

#include "tests/support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

const std::string& TatcardPath() {
    static const std::string path = TATCARD_PATH;
    return path;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    quoted.append(text).append("'");
    return quoted;
}

TatcardRun RunTatcard(const std::string& arguments, const TempDir& scratch) {
    TatcardRun r;
    const std::string errFile = scratch.File("stderr.txt");
    std::string command = Quoted(TatcardPath());
    command.append(" ").append(arguments).append(" 2>").append(Quoted(errFile));
    r.status = RunCommand(command, &r.out);
    const std::vector<uint8_t> err = ReadFileBytes(errFile);
    r.err.assign(err.begin(), err.end());
    return r;
}

int Lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

const std::string& SharedTestCard() {
    static const TempDir made; // removed when the program ends
    static const std::string card = [] {
        const char* shared = std::getenv("TATCARD_TEST_CARD");
        if (shared != nullptr && *shared != '\0')
            return std::filesystem::is_directory(shared) ? std::string(shared) : std::string();
        const std::string path = made.File("card");
        return RunCommand(Quoted(TatcardPath()) + " demo " + Quoted(path) + " --seconds 1") == 0
                   ? path
                   : std::string();
    }();
    return card;
}
