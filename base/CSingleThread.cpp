#include "CSingleThread.h"

#include <pthread.h>

CSingleThread::CSingleThread(const char* name) : m_name(name != nullptr ? name : "") {}

CSingleThread::~CSingleThread() {
    StopThread();
}

bool CSingleThread::BeginThread(Body body) {
    std::lock_guard lock(m_control);
    if (m_thread.joinable()) {
        if (m_running.load(std::memory_order_acquire))
            return false;
        m_thread.join(); // the previous body ended by itself
    }
    m_stop.store(false, std::memory_order_release);
    m_running.store(true, std::memory_order_release);
    try {
        m_thread = std::thread(&CSingleThread::Run, this, std::move(body));
    } catch (const std::system_error&) {
        m_running.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

void CSingleThread::StopThread() {
    std::lock_guard lock(m_control);
    if (!m_thread.joinable())
        return;
    m_stop.store(true, std::memory_order_release);
    m_thread.join();
    m_running.store(false, std::memory_order_release);
}

void CSingleThread::Run(Body body) {
    if (!m_name.empty()) {
        const std::string shortName = m_name.substr(0, 15);
        pthread_setname_np(pthread_self(), shortName.c_str());
    }
    while (!m_stop.load(std::memory_order_acquire)) {
        if (!body())
            break;
    }
    m_running.store(false, std::memory_order_release);
}
