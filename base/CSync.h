#pragma once

#include <mutex>

// A mutual-exclusion lock. At most one thread holds it between Lock and Unlock.
// Also meets BasicLockable (lock/unlock), so std::lock_guard<CSync> works.
// Not recursive: a thread must not take it twice.
class CSync {
public:
    explicit CSync(const char* name = "none") : m_name(name) {}
    CSync(const CSync&) = delete;
    CSync& operator=(const CSync&) = delete;

    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }
    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }

    const char* Name() const { return m_name; }

private:
    std::mutex m_mutex;
    const char* m_name;
};
