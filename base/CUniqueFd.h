#pragma once

#include <cerrno>
#include <unistd.h>
#include <utility>

// Owns one POSIX file descriptor and closes it when destroyed; -1 means none.
//
// Threads: a plain value; one thread at a time.
class CUniqueFd {
public:
    CUniqueFd() = default;
    explicit CUniqueFd(int fd) : m_fd(fd) {}
    ~CUniqueFd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CUniqueFd(CUniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    CUniqueFd& operator=(CUniqueFd&& other) noexcept {
        if (this != &other) {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    CUniqueFd(const CUniqueFd&) = delete;
    CUniqueFd& operator=(const CUniqueFd&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }

    // Closes the descriptor now and gives the errno of a failed close(2), 0 when it closed or
    // none was held. Written data can be reported lost only here (some file systems write back
    // on close), so writers check it. Never retried: the descriptor is gone either way.
    int Close() {
        if (m_fd < 0)
            return 0;
        const int fd = std::exchange(m_fd, -1);
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int m_fd = -1;
};
