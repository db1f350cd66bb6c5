#include "clips/AvErrorText.h"

extern "C" {
#include <libavutil/error.h>
}

namespace clips {

std::string AvErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(error, text, sizeof text) < 0)
        return "error " + std::to_string(error);
    return text;
}

} // namespace clips
