#include "TripReadAhead.h"

#include <utility>

TripReadAhead::TripReadAhead(const CTripParser::Factory& factory, TripReadLimits limits)
    : m_factory(factory), m_limits(limits) {}

TripReadAhead::~TripReadAhead() {
    Stop();
}

bool TripReadAhead::Start() {
    if (m_started)
        return true;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_quit = false;
    }
    m_started = m_thread.BeginThread([this] { return Step(); });
    return m_started;
}

void TripReadAhead::Stop() {
    if (!m_started)
        return;
    Cancel();
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.StopThread();
    m_started = false;
    // What the thread left: parsers still to close (it ends without closing them).
    std::vector<std::unique_ptr<VMediaParser>> left;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        left.swap(m_closing);
        m_closingCount = 0;
        m_busy = false;
    }
    for (std::unique_ptr<VMediaParser>& parser : left)
        CloseInnerParser(parser);
    m_buffer = std::vector<uint8_t>();
}

void TripReadAhead::Ask(const std::vector<TripSegment>& segments, size_t from) {
    if (m_asked == static_cast<int>(from))
        return;
    Cancel();
    if (!m_started || from >= segments.size())
        return;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_job.segments = segments;
        m_job.from = from;
        m_job.generation = m_generation.load(std::memory_order_acquire);
        m_pending = true;
    }
    m_wake.notify_all();
    m_asked = static_cast<int>(from);
}

std::unique_ptr<OpenedSegment> TripReadAhead::Take(int from) {
    if (m_asked < 0 || m_asked != from)
        return nullptr;
    m_hurry.store(true, std::memory_order_release);
    std::unique_ptr<OpenedSegment> result;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_ready.wait(lock, [this] { return m_result != nullptr || m_quit; });
        result = std::move(m_result);
    }
    m_hurry.store(false, std::memory_order_release);
    m_asked = -1;
    return result;
}

void TripReadAhead::Cancel() {
    std::unique_ptr<OpenedSegment> dropped;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_generation.fetch_add(1, std::memory_order_acq_rel);
        m_pending = false;
        m_job = Job{};
        dropped = std::move(m_result);
    }
    m_hurry.store(false, std::memory_order_release);
    m_asked = -1;
    if (dropped)
        Retire(std::move(dropped->parser));
}

int TripReadAhead::OthersAlive() const {
    return m_closingCount + (m_busy ? 1 : 0) + (m_result ? 1 : 0);
}

void TripReadAhead::Retire(std::unique_ptr<VMediaParser> parser) {
    if (!parser)
        return;
    if (m_started) {
        std::lock_guard<std::mutex> hold(m_mutex);
        if (OthersAlive() < kMostOthers) {
            m_closing.push_back(std::move(parser));
            ++m_closingCount;
        }
    }
    if (!parser) {
        m_wake.notify_all();
        return;
    }
    CloseInnerParser(parser);
}

void TripReadAhead::CloseQueued() {
    std::vector<std::unique_ptr<VMediaParser>> queued;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        queued.swap(m_closing);
        m_closingCount -= static_cast<int>(queued.size());
    }
    for (std::unique_ptr<VMediaParser>& parser : queued)
        CloseInnerParser(parser);
}

void TripReadAhead::WaitIdle() {
    if (!m_started)
        return;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ready.wait(lock, [this] { return (!m_busy && m_closingCount == 0 && !m_pending) || m_quit; });
}

bool TripReadAhead::Step() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait(lock, [this] { return m_quit || !m_closing.empty() || m_pending; });
    if (m_quit)
        return false;
    if (!m_closing.empty()) {
        // Closing first: it frees what the next preparation would add to.
        std::unique_ptr<VMediaParser> parser = std::move(m_closing.front());
        m_closing.erase(m_closing.begin());
        lock.unlock();
        CloseInnerParser(parser);
        lock.lock();
        --m_closingCount;
        m_ready.notify_all();
        return true;
    }
    Job job = std::move(m_job);
    m_job = Job{};
    m_pending = false;
    m_busy = true;
    lock.unlock();

    const auto cancelled = [this, &job] {
        return m_generation.load(std::memory_order_acquire) != job.generation;
    };
    std::unique_ptr<OpenedSegment> prepared = OpenFirstSegment(
        m_factory, job.segments, job.from, m_limits, &m_hurry, cancelled, m_buffer);

    lock.lock();
    if (prepared && !cancelled()) {
        m_result = std::move(prepared);
        m_busy = false;
        m_ready.notify_all();
        return true;
    }
    // Cancelled meanwhile: closed here, still counted as busy so that nothing else is given
    // to close until it is gone.
    lock.unlock();
    if (prepared)
        CloseInnerParser(prepared->parser);
    lock.lock();
    m_busy = false;
    m_ready.notify_all();
    return true;
}
