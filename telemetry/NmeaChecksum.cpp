#include "NmeaChecksum.h"

#include "base/AsciiText.h"

namespace nmea {

namespace {

uint8_t Xor(std::string_view text) {
    uint8_t sum = 0;
    for (const char c : text)
        sum = static_cast<uint8_t>(sum ^ static_cast<uint8_t>(c));
    return sum;
}

} // namespace

uint8_t Checksum(std::string_view sentence) {
    if (!sentence.empty() && sentence.front() == '$')
        sentence.remove_prefix(1);
    return Xor(sentence.substr(0, sentence.find('*')));
}

int StatedChecksum(std::string_view sentence) {
    const size_t star = sentence.find('*');
    if (star == std::string_view::npos || sentence.size() < star + 3)
        return -1;
    const int high = ascii::HexValue(sentence[star + 1]);
    const int low = ascii::HexValue(sentence[star + 2]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

bool ChecksumMatches(std::string_view sentence) {
    return !sentence.empty() && sentence.front() == '$' &&
           StatedChecksum(sentence) == Checksum(sentence);
}

std::string WithChecksum(std::string_view body) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const uint8_t sum = Xor(body);
    std::string sentence;
    sentence.reserve(body.size() + 4);
    sentence.append(1, '$').append(body).append(1, '*');
    sentence.append(1, kHex[sum >> 4]).append(1, kHex[sum & 15]);
    return sentence;
}

} // namespace nmea
