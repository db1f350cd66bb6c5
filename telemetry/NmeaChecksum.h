#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The checksum of NMEA sentences, "$<body>*hh": the XOR of the body's characters, written as
// two hexadecimal digits.
//
// Threads: no state; any thread.
namespace nmea {

// The XOR of the characters after the leading '$' (or from the start, without one) up to the
// first '*' (or the end).
uint8_t Checksum(std::string_view sentence);

// The checksum the sentence states: the two hexadecimal digits (either case) after its first
// '*'; -1 without a '*' or without two such digits after it. Characters after the two digits
// are not looked at.
int StatedChecksum(std::string_view sentence);

// Whether "$...*hh" carries the XOR of the characters between '$' and '*' as hh (hex, either
// case). False without '$' at the start or without the two digits after '*'.
bool ChecksumMatches(std::string_view sentence);

// "$<body>*HH": the XOR of all of body's characters, in capitals.
std::string WithChecksum(std::string_view body);

} // namespace nmea
