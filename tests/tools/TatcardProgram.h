#pragma once

#include <string>

class TempDir;

// tatcard run as a program, the way a user runs it.

// The path of the tatcard program under test.
const std::string& TatcardPath();

// text in single quotes, for a shell command line.
std::string Quoted(const std::string& text);

struct TatcardRun {
    int status = 0;
    std::string out;
    std::string err;
};

// Runs tatcard with the arguments (already quoted where needed); its standard error passes
// through a file in scratch.
TatcardRun RunTatcard(const std::string& arguments, const TempDir& scratch);

// How many lines text holds (its line ends).
int Lines(const std::string& text);

// The short demonstration card (1 s per recording) the suite's tests share and never change:
// under ctest a set-up step makes it once and names it in TATCARD_TEST_CARD; run on its own,
// the program makes one the first time it is asked. Empty when it cannot be made.
const std::string& SharedTestCard();
