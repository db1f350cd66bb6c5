#pragma once
#include <chrono>

// Wall time and the processor time of the whole process (all threads, user and system), read
// together so that a command can report both for the same stretch.
class ProcessClock {
public:
    struct Reading {
        std::chrono::steady_clock::time_point wall;
        std::chrono::microseconds cpu;
    };
    static Reading Now();
    static long long WallMs(const Reading& from, const Reading& to);
    static long long CpuMs(const Reading& from, const Reading& to);
};
