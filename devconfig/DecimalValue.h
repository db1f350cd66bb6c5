#pragma once

#include <string_view>

// The number at the start of a text, read the way the C library's atoi reads it: leading
// blanks skipped, an optional sign, then decimal digits up to the first other character.
// A text without digits reads as 0. Unlike atoi it never overflows: values beyond the range of
// int stop at INT_MIN or INT_MAX.
int DecimalValue(std::string_view text);
