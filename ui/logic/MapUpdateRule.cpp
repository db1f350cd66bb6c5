#include "MapUpdateRule.h"

MapRefresh MapRefreshFor(const std::optional<NewestFix>& newest) {
    if (!newest || !newest->valid || !IsOnEarth(newest->position))
        return {};
    return MapRefresh{true, true, newest->position};
}
