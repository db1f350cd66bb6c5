#include "PlaybackSpeed.h"

#include <cstdio>

namespace PlaybackSpeed {

int Faster(int percent) {
    for (const int speed : kSpeeds)
        if (speed > percent)
            return speed;
    return kSpeeds.back();
}

int Slower(int percent) {
    for (auto speed = kSpeeds.rbegin(); speed != kSpeeds.rend(); ++speed)
        if (*speed < percent)
            return *speed;
    return kSpeeds.front();
}

std::string Text(int percent) {
    char text[32];
    if (percent % 100 == 0)
        std::snprintf(text, sizeof text, "%dx", percent / 100);
    else if (percent % 10 == 0)
        std::snprintf(text, sizeof text, "%d.%dx", percent / 100, percent % 100 / 10);
    else
        std::snprintf(text, sizeof text, "%d.%02dx", percent / 100, percent % 100);
    return text;
}

} // namespace PlaybackSpeed
