#include "ProgramVersion.h"

// TATV_VERSION comes from base/CMakeLists.txt, for this file alone, so that a new version
// rebuilds this file and relinks the programs, nothing more.
const char* ProgramVersion() {
    return TATV_VERSION;
}
