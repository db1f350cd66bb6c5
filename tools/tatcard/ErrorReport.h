#pragma once

#include <string>

// The card tool's pieces report a failure as false with one line of text in an error string
// that the caller may leave out (null).

// Sets *error, when there is one, to message; returns false.
inline bool Fail(std::string* error, const std::string& message) {
    if (error != nullptr)
        *error = message;
    return false;
}
