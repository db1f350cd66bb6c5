#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// One worker thread that calls a body again and again, one step of work per call, until it
// is stopped. Bodies pace themselves (short sleeps); a body that returns false ends the
// thread by itself.
//
// Threads: BeginThread and StopThread are called by the owner from any one thread at a time
// (they serialise each other). StopThread must not be called from the body.
class CSingleThread {
public:
    using Body = std::function<bool()>;
    using RawBody = bool (*)(void* arg);

    // The name (at most 15 characters are kept) is given to the system thread for debuggers.
    explicit CSingleThread(const char* name = nullptr);
    ~CSingleThread(); // stops the thread
    CSingleThread(const CSingleThread&) = delete;
    CSingleThread& operator=(const CSingleThread&) = delete;

    // Starts the thread. Returns false when it is already running or cannot be started.
    bool BeginThread(Body body);
    bool BeginThread(RawBody body, void* arg) {
        return BeginThread([body, arg] { return body(arg); });
    }

    // When it returns, the body is not running and will not be called again.
    void StopThread();

    // True from BeginThread until the thread has been stopped or its body returned false.
    bool IsRunning() const { return m_running.load(std::memory_order_acquire); }

private:
    void Run(Body body);

    std::string m_name;
    std::mutex m_control; // serialises BeginThread and StopThread
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
};
