#include "clips/ClipTarget.h"

#include "base/CUniqueFd.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

std::atomic<unsigned> g_serial{0};

std::string TemporaryFor(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + ".part-" + std::to_string(static_cast<long>(getpid())) + "-" +
           std::to_string(g_serial.fetch_add(1));
}

} // namespace

ClipTarget::ClipTarget(std::string path)
    : m_path(std::move(path)), m_temporary(TemporaryFor(m_path)) {}

ClipTarget::~ClipTarget() {
    Discard();
}

ClipTarget::ClipTarget(ClipTarget&& other) noexcept
    : m_path(std::move(other.m_path)), m_temporary(std::move(other.m_temporary)),
      m_committed(other.m_committed) {
    other.m_committed = true; // the moved-from one removes nothing
}

fileio::Result ClipTarget::Create() {
    CUniqueFd fd(open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.Valid())
        return {errno};
    return fileio::SyncAndClose(fd);
}

fileio::Result ClipTarget::Commit() {
    CUniqueFd fd(open(m_temporary.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
        const int error = errno;
        Discard();
        return {error};
    }
    if (fsync(fd.Get()) != 0) {
        const int error = errno;
        Discard();
        return {error};
    }
    (void)fd.Close();
    if (std::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        const int error = errno;
        Discard();
        return {error};
    }
    m_committed = true;
    return {};
}

void ClipTarget::Discard() {
    if (m_committed || m_temporary.empty())
        return;
    unlink(m_temporary.c_str());
}
