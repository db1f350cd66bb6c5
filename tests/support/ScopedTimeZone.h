#pragma once

#include <optional>
#include <string>

// Sets the process's time zone (TZ, then tzset) for the object's life and puts the caller's
// back when it goes (TZ unset again when it was unset). The test's thread only, with no other
// thread converting times meanwhile.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> m_saved;
};
