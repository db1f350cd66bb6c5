#include "AnnexB.h"

size_t NextNalHeader(const uint8_t* s, size_t size, size_t from) {
    for (size_t i = from; i + 3 <= size; ++i) {
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1)
            return i + 3;
    }
    return size;
}

namespace {

// Position of the start code (its four-byte form taken whole) of the next delimiter.
size_t NextDelimiter(const uint8_t* s, size_t size, size_t from) {
    for (size_t nal = NextNalHeader(s, size, from); nal < size; nal = NextNalHeader(s, size, nal)) {
        if ((s[nal] & 0x1F) == 9) {
            const size_t code = nal - 3;
            return (code > 0 && s[code - 1] == 0) ? code - 1 : code;
        }
    }
    return size;
}

} // namespace

std::vector<std::vector<uint8_t>> SplitAccessUnits(const uint8_t* data, size_t size) {
    std::vector<std::vector<uint8_t>> units;
    size_t start = NextDelimiter(data, size, 0);
    while (start < size) {
        const size_t next = NextDelimiter(data, size, start + 4);
        units.emplace_back(data + start, data + next);
        start = next;
    }
    return units;
}

bool IsKeyFrame(const uint8_t* unit, size_t size) {
    for (size_t nal = NextNalHeader(unit, size, 0); nal < size;
         nal = NextNalHeader(unit, size, nal)) {
        if ((unit[nal] & 0x1F) == 5)
            return true;
    }
    return false;
}

bool IsCameraKeyFrame(const uint8_t* packet, size_t size) {
    return size < 5 || packet[4] != 0x41;
}
