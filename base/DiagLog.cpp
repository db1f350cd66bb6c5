#include "DiagLog.h"

#include <cstdarg>
#include <cstdio>

DiagLog DiagLog::ToStdout() {
    return DiagLog([](std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    });
}

void DiagLog::Printf(const char* format, ...) const {
    if (!m_sink)
        return;
    char text[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0)
        return;
    const size_t len =
        static_cast<size_t>(n) < sizeof text ? static_cast<size_t>(n) : sizeof text - 1;
    m_sink(std::string_view(text, len));
}
