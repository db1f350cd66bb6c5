#pragma once

// The version of tatview's programs, as the top-level CMakeLists.txt's project() states it: the
// one place it is set. --version prints it, the Debian package carries it (CPack reads the same
// project version) and a clip's evidence record names it.
//
// Threads: a constant; any thread may call it.

// The version text, such as "0.1.0"; never null, valid for the whole run.
const char* ProgramVersion();
