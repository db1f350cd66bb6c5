#include "DecimalValue.h"

#include "base/AsciiText.h"

#include <climits>

int DecimalValue(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && ascii::IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude as a negative number, whose range holds INT_MIN.
    long long value = 0;
    for (; i < text.size() && ascii::IsDigit(text[i]); ++i) {
        value = value * 10 - (text[i] - '0');
        if (value < INT_MIN) {
            value = INT_MIN - 1LL;
            break;
        }
    }
    if (negative)
        return value < INT_MIN ? INT_MIN : static_cast<int>(value);
    return -value > INT_MAX ? INT_MAX : static_cast<int>(-value);
}
