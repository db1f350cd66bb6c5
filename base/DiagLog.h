#pragma once

#include <functional>
#include <string_view>

// Writer of diagnostic lines ("[CThreadQueue] Pop Empty\n", "Media End Recv [%d]\n", ...).
//
// A component that has something to say holds a `const DiagLog*` given to it by its owner;
// a null pointer, or a DiagLog built with no sink, keeps the component quiet. Diagnostics are
// off by default: the program switches them on with --verbose, tests switch them on to read
// the lines.
//
// Threads: Printf may be called from any thread at once; the sink must be safe for that.
// The stdout sink writes each line with one stdio call, which stdio serialises.
class DiagLog {
public:
    using Sink = std::function<void(std::string_view line)>;

    DiagLog() = default;
    explicit DiagLog(Sink sink) : m_sink(std::move(sink)) {}

    // A log that writes every line to standard output as it is.
    static DiagLog ToStdout();

    bool Enabled() const { return static_cast<bool>(m_sink); }

    // Formats like printf and hands the text to the sink. Lines longer than 1 KiB are cut.
    void Printf(const char* format, ...) const __attribute__((format(printf, 2, 3)));

private:
    Sink m_sink;
};

// Printf through a log that may be absent.
#define TATV_DIAG(log, ...)                                                                        \
    do {                                                                                           \
        if ((log) != nullptr && (log)->Enabled())                                                  \
            (log)->Printf(__VA_ARGS__);                                                            \
    } while (0)
