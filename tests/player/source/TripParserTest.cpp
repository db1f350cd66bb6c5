// The trip parser over scripted inner parsers: packets moved onto the drive's time line and
// continuous across the boundaries, segments that do not open or fail to read, seeks into the
// current, the read-ahead and a far segment, the read-ahead done on its own thread before the
// boundary, the bound on live inner parsers, and stopping while a segment is being opened.
#include "player/source/CTripParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int32_t kRate = 30;
constexpr int64_t kPeriodUs = 1000000 / kRate;

// One recording: `seconds` of front and rear pictures from firstUs (a key frame each second),
// a 100 ms sound block every third picture from 20 ms before the first one, and a text line
// without a time.
struct Script {
    int seconds = 1;
    int64_t firstUs = 0;
    bool failOpen = false;
    size_t failAfter = SIZE_MAX; // Read fails after this many packets
    std::chrono::milliseconds openDelay{0};
};

struct Packet {
    StreamKind kind;
    bool key;
    int64_t timeUs;
};

std::vector<Packet> PacketsOf(const Script& s) {
    std::vector<Packet> packets;
    for (int f = 0; f < s.seconds * kRate; ++f) {
        const int64_t t = s.firstUs + f * kPeriodUs;
        packets.push_back({FrontVideo, f % kRate == 0, t});
        packets.push_back({RearVideo, f % kRate == 0, t});
        if (f % 3 == 0)
            packets.push_back({Audio, false, s.firstUs - 20000 + f / 3 * 100000});
        if (f == 5)
            packets.push_back({Text, false, kNoTimeUs});
    }
    return packets;
}

// What the inner parsers did; the scripts are set before the trip opens (the read-ahead
// thread reads them), the rest under the lock.
struct Log {
    std::vector<Script> scripts;
    std::thread::id caller = std::this_thread::get_id();
    std::mutex mutex;
    std::vector<std::pair<int, bool>> opens; // segment, opened on the caller's thread
    std::vector<std::pair<int, float>> seeks;
    std::vector<int> reads = std::vector<int>(10); // packets read of each segment
    int alive = 0;
    int mostAlive = 0;
    template <class F> auto Locked(F f) {
        std::lock_guard<std::mutex> hold(mutex);
        return f();
    }
};

// The payload: the segment and the packet's place in it.
struct Tag {
    int32_t segment = -1;
    int32_t serial = -1;
    bool operator==(const Tag&) const = default;
};

// Opens "segN" as scripts[N]; seeks to the front key frame at or before the time.
class ScriptedParser final : public VMediaParser {
public:
    explicit ScriptedParser(Log& log) : m_log(log) {
        m_log.Locked([&] { return m_log.mostAlive = std::max(m_log.mostAlive, ++m_log.alive); });
    }
    ~ScriptedParser() override {
        m_log.Locked([&] { return --m_log.alive; });
    }
    bool Start() override { return true; }
    void Stop() override {}
    int64_t Open(const std::string& name, OpenInfo* info) override {
        m_segment = name.back() - '0';
        const bool here = std::this_thread::get_id() == m_log.caller;
        m_log.Locked([&] { return m_log.opens.emplace_back(m_segment, here); });
        const Script& script = m_log.scripts[static_cast<size_t>(m_segment)];
        std::this_thread::sleep_for(script.openDelay);
        if (script.failOpen)
            return 0;
        m_packets = PacketsOf(script);
        m_failAfter = script.failAfter;
        if (info != nullptr)
            info->frontFrameRate = kRate;
        m_width = 1280 - 320 * m_segment;
        return 1;
    }
    void Close() override { m_packets.clear(); }
    bool Read(uint8_t* buffer, int32_t, MediaPacket& packet) override {
        packet = MediaPacket{};
        packet.kind = EndOfStream;
        m_end = m_next >= m_failAfter ? ReadEnd::kFailed : ReadEnd::kEnded;
        if (m_next >= m_packets.size() || m_next >= m_failAfter)
            return false;
        const Tag tag{m_segment, static_cast<int32_t>(m_next)};
        std::memcpy(buffer, &tag, sizeof tag);
        const Packet& p = m_packets[m_next];
        packet = {p.kind, p.kind == RearVideo ? 1 : 0, p.key, p.timeUs, sizeof(Tag), buffer};
        ++m_next;
        m_log.Locked([&] { return ++m_log.reads[static_cast<size_t>(m_segment)]; });
        return true;
    }
    ReadEnd LastReadEnd() const override { return m_end; }
    VideoSize GetVideoSize(int) override { return {m_width, 720}; }
    int32_t GetFrameRate(int) override { return kRate; }
    void GetAudioFormat(int32_t& bits, int32_t& rate) override {
        bits = 16;
        rate = 16000;
    }
    int SeekTime(float seconds) override {
        m_log.Locked([&] { return m_log.seeks.emplace_back(m_segment, seconds); });
        for (size_t i = 0; i < m_packets.size(); ++i)
            if (m_packets[i].kind == FrontVideo && m_packets[i].key &&
                m_packets[i].timeUs <= std::llround(seconds * 1e6))
                m_next = i;
        return 0;
    }

private:
    Log& m_log;
    std::vector<Packet> m_packets;
    int32_t m_segment = -1;
    int32_t m_width = 0;
    size_t m_next = 0;
    size_t m_failAfter = SIZE_MAX;
    ReadEnd m_end = ReadEnd::kEnded;
};

struct Delivered {
    StreamKind kind = NoPacket;
    bool key = false;
    int64_t timeUs = 0;
    Tag tag;
};

class TripParserTest : public ::testing::Test {
protected:
    void TearDown() override {
        m_trip.reset();
        EXPECT_EQ(m_log.Locked([&] { return m_log.alive; }), 0) << "all destroyed";
        EXPECT_LE(m_log.Locked([&] { return m_log.mostAlive; }), 3);
    }
    // The scripts laid end to end, each as long as its pictures.
    CTripParser& Trip(std::vector<Script> scripts) {
        m_log.scripts = std::move(scripts);
        std::vector<TripSegment> segments;
        int64_t offset = 0;
        for (const Script& s : m_log.scripts) {
            segments.push_back(
                {"seg" + std::to_string(segments.size()), offset, s.seconds * 1000000});
            offset += segments.back().lengthUs;
        }
        m_trip = std::make_unique<CTripParser>(
            [this] { return std::make_unique<ScriptedParser>(m_log); });
        m_trip->SetSegments(segments);
        EXPECT_TRUE(m_trip->Start());
        return *m_trip;
    }
    bool Next(Delivered& out) {
        MediaPacket packet;
        if (!m_trip->Read(m_buffer.data(), kPacketBufferSize, packet))
            return false;
        out = {packet.kind, packet.keyFrame, packet.timeUs, {}};
        std::memcpy(&out.tag, packet.payload, sizeof out.tag);
        return true;
    }
    std::vector<Delivered> ReadAll() {
        std::vector<Delivered> all;
        for (Delivered d; Next(d);)
            all.push_back(d);
        return all;
    }
    Delivered NextFront() {
        Delivered d;
        while (Next(d) && d.kind != FrontVideo) {
        }
        return d;
    }
    // Where a packet of a segment lies on the drive's line: its offset plus its time since
    // the segment's first picture.
    int64_t DriveTime(const Tag& tag) const {
        const auto s = static_cast<size_t>(tag.segment);
        const int64_t t = PacketsOf(m_log.scripts[s])[static_cast<size_t>(tag.serial)].timeUs;
        return t == kNoTimeUs ? kNoTimeUs
                              : t + m_trip->Segments()[s].offsetUs - m_log.scripts[s].firstUs;
    }
    bool WaitForReadAhead(int segment) {
        for (int i = 0; i < 500; ++i, std::this_thread::sleep_for(10ms))
            if (m_log.Locked([&] { return m_log.reads[static_cast<size_t>(segment)]; }) > 0)
                return true;
        return false;
    }
    long OpensHere() {
        return m_log.Locked([&] {
            return std::count_if(m_log.opens.begin(), m_log.opens.end(),
                                 [](const auto& o) { return o.second; });
        });
    }

    Log m_log;
    std::unique_ptr<CTripParser> m_trip;
    std::vector<uint8_t> m_buffer = std::vector<uint8_t>(kPacketBufferSize);
};

} // namespace

TEST_F(TripParserTest, PlaysTheSegmentsInTurnOnTheDriveTimeLine) {
    // The later recordings' first pictures come late in their files.
    CTripParser& trip =
        Trip({{.seconds = 2}, {.seconds = 2, .firstUs = 40000}, {.seconds = 3, .firstUs = 100000}});
    OpenInfo info;
    ASSERT_EQ(trip.Open("drive", &info), 1);
    EXPECT_EQ(info.frontFrameCount, 7 * kRate) << "the last segment's end";
    EXPECT_EQ(trip.GetVideoSize(0).width, 1280) << "the first segment's format";
    EXPECT_EQ(trip.SegmentAt(1999999), 0);
    EXPECT_EQ(trip.SegmentAt(2000000), 1);

    // The test waits, before it reads the last packet of each segment, for the next one to
    // be read ahead on the trip's thread.
    std::vector<Delivered> all;
    for (size_t s = 0; s < 3; ++s) {
        for (size_t i = PacketsOf(m_log.scripts[s]).size(); i > 1; --i)
            ASSERT_TRUE(Next(all.emplace_back()));
        if (s < 2) {
            ASSERT_TRUE(WaitForReadAhead(static_cast<int>(s) + 1));
        }
        ASSERT_TRUE(Next(all.emplace_back()));
    }
    Delivered d;
    EXPECT_FALSE(Next(d));
    EXPECT_EQ(trip.LastReadEnd(), ReadEnd::kEnded);
    EXPECT_EQ(m_log.Locked([&] { return m_log.opens; }),
              (std::vector<std::pair<int, bool>>{{0, true}, {1, false}, {2, false}}));

    // Every packet once, in order, at its place; the pictures a period apart and the sound
    // a block apart across the boundaries too.
    size_t at = 0;
    int64_t lastFront = -kPeriodUs;
    int64_t lastSound = -120000;
    for (int32_t s = 0; s < 3; ++s) {
        for (int32_t i = 0;
             i < static_cast<int32_t>(PacketsOf(m_log.scripts[static_cast<size_t>(s)]).size());
             ++i) {
            ASSERT_LT(at, all.size());
            const Delivered& p = all[at++];
            ASSERT_EQ(p.tag, (Tag{s, i}));
            EXPECT_EQ(p.timeUs, DriveTime(p.tag));
            if (p.kind == FrontVideo) {
                EXPECT_NEAR(static_cast<double>(p.timeUs - lastFront), kPeriodUs, 100.0)
                    << s << "/" << i;
                lastFront = p.timeUs;
            } else if (p.kind == Audio) {
                EXPECT_NEAR(static_cast<double>(p.timeUs - lastSound), 100000, 100.0)
                    << s << "/" << i;
                lastSound = p.timeUs;
            }
        }
    }
    EXPECT_EQ(at, all.size());
}

TEST_F(TripParserTest, SkipsSegmentsThatDoNotOpenAndEndsFailedAfterAFailedRead) {
    CTripParser& trip = Trip({{.failOpen = true}, {}, {.failOpen = true}, {.failAfter = 20}, {}});
    ASSERT_EQ(trip.Open("drive", nullptr), 1);
    std::vector<Tag> firstAndLast;
    Delivered d;
    for (Delivered previous; Next(d); previous = d) {
        EXPECT_EQ(d.timeUs, DriveTime(d.tag));
        if (d.tag.segment != previous.tag.segment) {
            firstAndLast.push_back(previous.tag);
            firstAndLast.push_back(d.tag);
        }
    }
    EXPECT_EQ(trip.LastReadEnd(), ReadEnd::kFailed);
    EXPECT_EQ(firstAndLast, (std::vector<Tag>{{-1, -1}, {1, 0}, {1, 70}, {3, 0}, {3, 19}, {4, 0}}));
    // A seek into a segment that does not open plays the next one from its start.
    ASSERT_EQ(trip.SeekTime(2.5f), 0);
    ASSERT_TRUE(Next(d));
    EXPECT_EQ(d.tag, (Tag{3, 0}));
    EXPECT_EQ(d.timeUs, 3000000);

    // A read failure alone (in the middle) ends the drive failed too. (Closed before the
    // scripts change: the read-ahead thread reads them.)
    trip.Close();
    for (Script& s : m_log.scripts)
        s.failOpen = false;
    ASSERT_EQ(trip.Open("drive", nullptr), 1);
    EXPECT_EQ(ReadAll().size(), 4 * PacketsOf({}).size() + 20);
    EXPECT_EQ(trip.LastReadEnd(), ReadEnd::kFailed);
    trip.Close();
    for (Script& s : m_log.scripts)
        s.failOpen = true;
    EXPECT_EQ(trip.Open("drive", nullptr), 0);
    EXPECT_FALSE(Next(d));
    EXPECT_EQ(trip.SeekTime(1.0f), -1);
}

TEST_F(TripParserTest, SeeksIntoTheCurrentTheReadAheadAndAFarSegment) {
    CTripParser& trip = Trip({{.seconds = 2},
                              {.seconds = 2, .firstUs = 40000},
                              {.seconds = 2},
                              {.seconds = 2, .firstUs = 10000}});
    ASSERT_EQ(trip.Open("drive", nullptr), 1);
    ASSERT_TRUE(WaitForReadAhead(1));
    const auto expectFront = [this](int32_t segment, int64_t timeUs, const char* what) {
        const Delivered d = NextFront();
        EXPECT_EQ(d.tag.segment, segment) << what;
        EXPECT_TRUE(d.key) << what;
        EXPECT_NEAR(static_cast<double>(d.timeUs), static_cast<double>(timeUs), 100.0) << what;
    };
    // The current segment: its own seek alone.
    ASSERT_EQ(trip.SeekTime(1.5f), 0);
    expectFront(0, 1000000, "current");
    EXPECT_EQ(m_log.seeks.back(), (std::pair<int, float>{0, 1.5f})); // seeks: this thread's
    // The read-ahead one: taken over and sought at its own time (its first picture at 40 ms).
    ASSERT_EQ(trip.SeekTime(3.2f), 0);
    expectFront(1, 3000000, "read ahead");
    EXPECT_NEAR(m_log.seeks.back().second, 1.24f, 1e-4f);
    EXPECT_EQ(OpensHere(), 1);
    // Playing on crosses into the next one, read ahead meanwhile.
    ASSERT_TRUE(WaitForReadAhead(2));
    Delivered d;
    while (Next(d) && d.tag.segment == 1) {
    }
    EXPECT_EQ(d.tag, (Tag{2, 0}));
    // Far back: opened here.
    ASSERT_EQ(trip.SeekTime(1.2f), 0);
    expectFront(0, 1000000, "far back");
    EXPECT_EQ(OpensHere(), 2);
    // Far ahead, to a segment's start: the packets in hand serve without an inner seek.
    const size_t seeks = m_log.Locked([&] { return m_log.seeks.size(); });
    ASSERT_EQ(trip.SeekTime(6.0f), 0);
    ASSERT_TRUE(Next(d));
    EXPECT_EQ(d.tag, (Tag{3, 0}));
    EXPECT_EQ(d.timeUs, 6000000);
    EXPECT_EQ(OpensHere(), 3);
    EXPECT_EQ(m_log.Locked([&] { return m_log.seeks.size(); }), seeks);
    // Beyond the end: the last key frame; then the end, and a seek plays again after it.
    ASSERT_EQ(trip.SeekTime(60.0f), 0);
    expectFront(3, 7000000, "beyond the end");
    ReadAll();
    EXPECT_EQ(trip.LastReadEnd(), ReadEnd::kEnded);
    ASSERT_EQ(trip.SeekTime(2.0f), 0);
    ASSERT_TRUE(Next(d));
    EXPECT_EQ(d.tag, (Tag{1, 0}));
    EXPECT_EQ(d.timeUs, 2000000);
    EXPECT_EQ(trip.SeekTime(std::nanf("")), -1);
}

TEST_F(TripParserTest, SlowOpensAreWaitedForAndStopEndsAReadAheadCleanly) {
    CTripParser& trip = Trip({{}, {.openDelay = 300ms}, {}});
    // Read straight through: the boundary waits for the read-ahead under way rather than
    // opening the segment a second time.
    ASSERT_EQ(trip.Open("drive", nullptr), 1);
    const size_t count = ReadAll().size();
    EXPECT_EQ(count, 3 * PacketsOf({}).size());
    EXPECT_EQ(m_log.Locked([&] { return m_log.opens; }),
              (std::vector<std::pair<int, bool>>{{0, true}, {1, false}, {2, false}}));

    // Stop and Close while the next segment is being opened: nothing stays alive, and the trip
    // opens again afterwards.
    ASSERT_EQ(trip.Open("drive", nullptr), 1);
    std::this_thread::sleep_for(50ms);
    trip.Stop();
    EXPECT_EQ(m_log.Locked([&] { return m_log.alive; }), 0);
    Delivered d;
    EXPECT_FALSE(Next(d));
    ASSERT_TRUE(trip.Start());
    ASSERT_EQ(trip.Open("drive", nullptr), 1);
    std::this_thread::sleep_for(50ms);
    trip.Close();
    EXPECT_EQ(m_log.Locked([&] { return m_log.alive; }), 0);
    ASSERT_EQ(trip.Open("drive", nullptr), 1);
    EXPECT_EQ(ReadAll().size(), count);
    ASSERT_EQ(trip.Open("drive", nullptr), 1); // destroyed while reading ahead
}
