#pragma once

#include <string>

namespace clips {

// libav's text for an error code ("No space left on device"); "error N" for a code it does not
// know. Any thread.
std::string AvErrorText(int error);

} // namespace clips
