#include "ScopedTimeZone.h"

#include <cstdlib>
#include <ctime>

ScopedTimeZone::ScopedTimeZone(const char* zone) {
    if (const char* saved = std::getenv("TZ"))
        m_saved = saved;
    setenv("TZ", zone, 1);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (m_saved)
        setenv("TZ", m_saved->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
