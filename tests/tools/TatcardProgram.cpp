#include "TatcardProgram.h"

#include "tests/support/TempDir.h"

#include <algorithm>
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
