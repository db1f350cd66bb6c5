#include "TripGrouping.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace trips {

namespace {

constexpr int64_t kMaxTime = std::numeric_limits<int64_t>::max();
constexpr int64_t kMinTime = std::numeric_limits<int64_t>::min();

// a + b for b >= 0, held at the largest time instead of wrapping.
int64_t PlusClamped(int64_t a, int64_t b) {
    return a > kMaxTime - b ? kMaxTime : a + b;
}

} // namespace

std::vector<Trip> Group(const std::vector<Item>& items, int64_t gapMs) {
    const int64_t gap = std::max<int64_t>(gapMs, 0);
    std::vector<size_t> order(items.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&items](size_t a, size_t b) { return items[a].startMs < items[b].startMs; });

    // Each item's end, walking back so that the next later start is known: a known length
    // ends it there; an unknown one lasts until the next recording that starts after it when
    // that comes within kUnknownSpanMs (a recording that stopped being written as the next
    // began), else it is taken to end where it starts. (The difference is taken unsigned: the
    // next start is later, so it is exact whatever the times.)
    std::vector<int64_t> ends(order.size());
    int64_t nextStart = kMaxTime;
    bool hasNext = false;
    for (size_t k = order.size(); k-- > 0;) {
        const Item& item = items[order[k]];
        if (item.lengthMs >= 0)
            ends[k] = PlusClamped(item.startMs, item.lengthMs);
        else if (hasNext &&
                 static_cast<uint64_t>(nextStart) - static_cast<uint64_t>(item.startMs) <=
                     static_cast<uint64_t>(kUnknownSpanMs))
            ends[k] = nextStart;
        else
            ends[k] = item.startMs;
        // Items of the same start share the next later start.
        if (k == 0 || items[order[k - 1]].startMs != item.startMs) {
            nextStart = item.startMs;
            hasNext = true;
        }
    }

    std::vector<Trip> result;
    int64_t reach = kMinTime; // the latest start that still joins the current trip
    for (size_t k = 0; k < order.size(); ++k) {
        const Item& item = items[order[k]];
        if (result.empty() || item.startMs > reach) {
            result.emplace_back();
            result.back().startMs = item.startMs;
            result.back().endMs = ends[k];
        }
        Trip& trip = result.back();
        trip.members.push_back(order[k]);
        trip.endMs = std::max(trip.endMs, ends[k]);
        trip.holdsEvents = trip.holdsEvents || item.category == 0;
        reach = PlusClamped(trip.endMs, gap);
    }
    return result;
}

} // namespace trips
