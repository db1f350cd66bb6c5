#include "GraphSeries.h"

#include <algorithm>
#include <cassert>

GraphSeries::GraphSeries(uint32_t colorBgr, int penWidth)
    : colorBgr_(colorBgr), penWidth_(std::max(penWidth, 1)) {}

void GraphSeries::Clear() {
    samples_.fill(0.0);
    writeIndex_ = 0;
    count_ = 0;
}

void GraphSeries::Add(double value) {
    samples_[static_cast<size_t>(writeIndex_)] = value;
    writeIndex_ = (writeIndex_ + 1) % kCapacity;
    count_ = std::min(count_ + 1, kCapacity);
}

double GraphSeries::Newest(int age) const {
    assert(age >= 0 && age < count_);
    const int index = (writeIndex_ - 1 - age + 2 * kCapacity) % kCapacity;
    return samples_[static_cast<size_t>(index)];
}
