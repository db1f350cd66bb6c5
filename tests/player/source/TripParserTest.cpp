// The trip parser over scripted inner parsers: packets moved onto the drive's time line and
// continuous across the boundaries, segments that do not open or fail to read, seeks into the
// current, the read-ahead and a far segment, the read-ahead happening on its own thread before
// the boundary, the bound on live inner parsers, and stopping while a segment is being opened.
#include "player/source/CTripParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int32_t kRate = 30;
constexpr int64_t kPeriodUs = 1000000 / kRate;

struct ScriptPacket {
    StreamKind kind;
    bool key;
    int64_t timeUs;
};

// One recording as its inner parser reads it.
struct Script {
    std::vector<ScriptPacket> packets;
    int32_t width = 640;
    std::chrono::milliseconds openDelay{0};
    bool failOpen = false;
    int failAfter = -1; // Read fails after this many packets
};

// `seconds` of front pictures at 30 fps from firstFrontUs (a key frame each second), a rear
// picture after each, a 100 ms sound block after every third picture (the sound starting
// 20 ms before the picture), and a text line each second, the first without a time.
Script MakeScript(int seconds, int64_t firstFrontUs) {
    Script script;
    int64_t soundUs = firstFrontUs - 20000;
    for (int f = 0; f < seconds * kRate; ++f) {
        const int64_t t = firstFrontUs + f * kPeriodUs;
        script.packets.push_back({FrontVideo, f % kRate == 0, t});
        script.packets.push_back({RearVideo, f % kRate == 0, t});
        if (f % 3 == 0) {
            script.packets.push_back({Audio, false, soundUs});
            soundUs += 100000;
        }
        if (f % kRate == 5)
            script.packets.push_back({Text, false, f == 5 ? kNoTimeUs : t});
    }
    return script;
}

// What the inner parsers did, shared by all of them and the test.
struct Log {
    std::map<std::string, Script> scripts; // by name; fixed before the trip opens
    std::thread::id caller;
    std::atomic<int> delivered{0}; // packets the test has read from the trip so far

    struct OpenCall {
        std::string name;
        bool onCaller;
        int deliveredThen;
    };
    mutable std::mutex mutex;
    std::vector<OpenCall> opens;
    std::vector<std::pair<std::string, float>> seeks;
    std::map<std::string, int> reads; // packets read from each, by whoever
    int alive = 0;
    int mostAlive = 0;

    std::vector<OpenCall> Opens() const {
        std::lock_guard<std::mutex> hold(mutex);
        return opens;
    }
    int Reads(const std::string& name) const {
        std::lock_guard<std::mutex> hold(mutex);
        const auto found = reads.find(name);
        return found == reads.end() ? 0 : found->second;
    }
    std::vector<std::pair<std::string, float>> Seeks() const {
        std::lock_guard<std::mutex> hold(mutex);
        return seeks;
    }
    int Alive() const {
        std::lock_guard<std::mutex> hold(mutex);
        return alive;
    }
    int MostAlive() const {
        std::lock_guard<std::mutex> hold(mutex);
        return mostAlive;
    }
};

// The payload names the segment and the packet's place in its script.
struct Tag {
    int32_t segment = -1;
    int32_t serial = -1;
    bool operator==(const Tag&) const = default;
};

class ScriptedParser final : public VMediaParser {
public:
    explicit ScriptedParser(Log& log) : m_log(log) {
        std::lock_guard<std::mutex> hold(m_log.mutex);
        m_log.mostAlive = std::max(m_log.mostAlive, ++m_log.alive);
    }
    ~ScriptedParser() override {
        std::lock_guard<std::mutex> hold(m_log.mutex);
        --m_log.alive;
    }
    bool Start() override { return true; }
    void Stop() override {}
    int64_t Open(const std::string& name, OpenInfo* info) override {
        {
            std::lock_guard<std::mutex> hold(m_log.mutex);
            m_log.opens.push_back(
                {name, std::this_thread::get_id() == m_log.caller, m_log.delivered.load()});
        }
        m_script = &m_log.scripts.at(name);
        std::this_thread::sleep_for(m_script->openDelay);
        if (m_script->failOpen)
            return 0;
        m_name = name;
        m_segment = name.back() - '0';
        if (info != nullptr) {
            info->frontFrameRate = kRate;
            info->rearFrameRate = kRate;
            info->frontFrameCount = static_cast<int32_t>(m_script->packets.size());
        }
        return 1;
    }
    void Close() override { m_script = nullptr; }
    bool Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) override {
        packet = MediaPacket{};
        packet.kind = EndOfStream;
        if (m_script == nullptr || m_next >= m_script->packets.size() || capacity < 8) {
            m_end = ReadEnd::kEnded;
            return false;
        }
        if (m_script->failAfter >= 0 && m_next >= static_cast<size_t>(m_script->failAfter)) {
            m_end = ReadEnd::kFailed;
            return false;
        }
        const ScriptPacket& p = m_script->packets[m_next];
        const Tag tag{m_segment, static_cast<int32_t>(m_next)};
        std::memcpy(buffer, &tag, sizeof tag);
        packet.kind = p.kind;
        packet.channel = p.kind == RearVideo ? 1 : 0;
        packet.keyFrame = p.key;
        packet.timeUs = p.timeUs;
        packet.size = sizeof tag;
        packet.payload = buffer;
        ++m_next;
        std::lock_guard<std::mutex> hold(m_log.mutex);
        ++m_log.reads[m_name];
        return true;
    }
    ReadEnd LastReadEnd() const override { return m_end; }
    VideoSize GetVideoSize(int stream) override {
        return {m_script != nullptr ? m_script->width / (stream + 1) : 0, 360};
    }
    int32_t GetFrameRate(int) override { return kRate; }
    void GetAudioFormat(int32_t& bits, int32_t& rate) override {
        bits = 16;
        rate = 16000;
    }
    // To the front key frame at or before the time.
    int SeekTime(float seconds) override {
        {
            std::lock_guard<std::mutex> hold(m_log.mutex);
            m_log.seeks.emplace_back(m_name, seconds);
        }
        if (m_script == nullptr)
            return -1;
        const auto target = static_cast<int64_t>(static_cast<double>(seconds) * 1e6 + 0.5);
        size_t landing = 0;
        for (size_t i = 0; i < m_script->packets.size(); ++i) {
            const ScriptPacket& p = m_script->packets[i];
            if (p.kind == FrontVideo && p.key && p.timeUs <= target)
                landing = i;
        }
        m_next = landing;
        m_end = ReadEnd::kEnded;
        return 0;
    }
    VideoCodec GetVideoCodec(int) override { return VideoCodec::kHevc; }
    int VideoChannels() const override { return 2; }

private:
    Log& m_log;
    const Script* m_script = nullptr;
    std::string m_name;
    int32_t m_segment = -1;
    size_t m_next = 0;
    ReadEnd m_end = ReadEnd::kEnded;
};

struct Delivered {
    StreamKind kind;
    bool key;
    int64_t timeUs;
    Tag tag;
};

// A trip of the scripts seg0, seg1, … laid end to end (each `seconds` long).
class TripParserTest : public ::testing::Test {
protected:
    void SetUp() override { m_log.caller = std::this_thread::get_id(); }
    void TearDown() override {
        m_trip.reset();
        EXPECT_EQ(m_log.Alive(), 0) << "every inner parser is destroyed";
        EXPECT_LE(m_log.MostAlive(), 3) << "the current, the next and one being closed";
    }

    // Adds a segment; its offset follows the one before.
    Script& Add(int seconds, int64_t firstFrontUs = 0) {
        const std::string name = "seg" + std::to_string(m_segments.size());
        const int64_t offset =
            m_segments.empty() ? 0 : m_segments.back().offsetUs + m_segments.back().lengthUs;
        m_segments.push_back({name, offset, int64_t{seconds} * 1000000});
        m_log.scripts[name] = MakeScript(seconds, firstFrontUs);
        return m_log.scripts[name];
    }
    CTripParser& Trip() {
        if (!m_trip) {
            m_trip = std::make_unique<CTripParser>(
                [this] { return std::make_unique<ScriptedParser>(m_log); });
            m_trip->SetSegments(m_segments);
            EXPECT_TRUE(m_trip->Start());
        }
        return *m_trip;
    }
    bool Next(Delivered& out) {
        MediaPacket packet;
        if (!Trip().Read(m_buffer.data(), static_cast<int32_t>(m_buffer.size()), packet))
            return false;
        EXPECT_NE(packet.kind, NoPacket);
        Tag tag;
        EXPECT_EQ(packet.size, static_cast<int32_t>(sizeof tag));
        std::memcpy(&tag, packet.payload, sizeof tag);
        out = {packet.kind, packet.keyFrame, packet.timeUs, tag};
        m_log.delivered.fetch_add(1);
        return true;
    }
    std::vector<Delivered> ReadAll(size_t most = 100000) {
        std::vector<Delivered> all;
        Delivered d{};
        while (all.size() < most && Next(d))
            all.push_back(d);
        return all;
    }
    // The first front picture from here on.
    Delivered NextFront() {
        Delivered d{};
        while (Next(d))
            if (d.kind == FrontVideo)
                return d;
        ADD_FAILURE() << "no front picture";
        return d;
    }
    // Where a segment's packet lies on the drive's time line.
    int64_t DriveTime(const Tag& tag) const {
        const TripSegment& s = m_segments[static_cast<size_t>(tag.segment)];
        const Script& script = m_log.scripts.at(s.name);
        const int64_t first = script.packets.front().timeUs; // the first packet is front
        const int64_t t = script.packets[static_cast<size_t>(tag.serial)].timeUs;
        return t == kNoTimeUs ? kNoTimeUs : t + s.offsetUs - first;
    }
    // Waits until the read-ahead thread has read the first packets of `name`.
    bool WaitForReadAhead(const std::string& name) {
        for (int i = 0; i < 500 && m_log.Reads(name) == 0; ++i)
            std::this_thread::sleep_for(10ms);
        return m_log.Reads(name) > 0;
    }

    Log m_log;
    std::vector<TripSegment> m_segments;
    std::unique_ptr<CTripParser> m_trip;
    std::vector<uint8_t> m_buffer = std::vector<uint8_t>(kPacketBufferSize);
};

} // namespace

TEST_F(TripParserTest, PlaysTheSegmentsInTurnOnTheDriveTimeLine) {
    Add(2, 0).width = 1280;
    Add(2, 40000); // a recording whose first picture comes late
    Add(3, 100000);
    OpenInfo info;
    ASSERT_EQ(Trip().Open("drive", &info), 1);
    EXPECT_EQ(info.frontFrameRate, kRate);
    EXPECT_EQ(info.frontFrameCount, 7 * kRate) << "the duration is the last segment's end";
    // Formats are the first segment's.
    EXPECT_EQ(Trip().GetVideoSize(0).width, 1280);
    EXPECT_EQ(Trip().GetVideoSize(1).width, 640);
    EXPECT_EQ(Trip().GetFrameRate(0), kRate);
    EXPECT_EQ(Trip().GetVideoCodec(0), VideoCodec::kHevc);
    EXPECT_EQ(Trip().VideoChannels(), 2);
    int32_t bits = 0;
    int32_t rate = 0;
    Trip().GetAudioFormat(bits, rate);
    EXPECT_EQ(rate, 16000);
    EXPECT_EQ(Trip().SegmentAt(-5), 0);
    EXPECT_EQ(Trip().SegmentAt(1999999), 0);
    EXPECT_EQ(Trip().SegmentAt(2000000), 1);
    EXPECT_EQ(Trip().SegmentAt(99000000), 2);

    // Each segment's next is read ahead on the trip's thread while the one before still has
    // packets: the test waits for it before it reads the last packet of each segment.
    std::vector<Delivered> all;
    Delivered d{};
    for (size_t s = 0; s < m_segments.size(); ++s) {
        const size_t count = m_log.scripts.at(m_segments[s].name).packets.size();
        for (size_t i = 0; i + 1 < count; ++i) {
            ASSERT_TRUE(Next(d));
            all.push_back(d);
        }
        if (s + 1 < m_segments.size()) {
            ASSERT_TRUE(WaitForReadAhead(m_segments[s + 1].name)) << s + 1;
        }
        ASSERT_TRUE(Next(d));
        all.push_back(d);
    }
    EXPECT_FALSE(Next(d));
    EXPECT_EQ(Trip().LastReadEnd(), ReadEnd::kEnded);

    // Every packet once, in order, at its place on the drive's time line.
    size_t at = 0;
    for (size_t s = 0; s < m_segments.size(); ++s) {
        const Script& script = m_log.scripts.at(m_segments[s].name);
        for (size_t i = 0; i < script.packets.size(); ++i, ++at) {
            ASSERT_LT(at, all.size());
            const Tag expected{static_cast<int32_t>(s), static_cast<int32_t>(i)};
            ASSERT_EQ(all[at].tag, expected) << at;
            EXPECT_EQ(all[at].timeUs, DriveTime(expected)) << s << "/" << i;
            EXPECT_EQ(all[at].key, script.packets[i].key);
        }
    }
    EXPECT_EQ(at, all.size());
    // Front pictures a period apart throughout, boundaries included; sound blocks never more
    // than a block apart.
    int64_t lastFront = kNoTimeUs;
    int64_t lastSound = kNoTimeUs;
    for (const Delivered& p : all) {
        if (p.kind == FrontVideo) {
            if (lastFront != kNoTimeUs) {
                EXPECT_NEAR(static_cast<double>(p.timeUs - lastFront), kPeriodUs, 100.0)
                    << p.tag.segment << "/" << p.tag.serial;
            }
            lastFront = p.timeUs;
        }
        if (p.kind == Audio) {
            if (lastSound != kNoTimeUs) {
                EXPECT_GT(p.timeUs, lastSound);
                EXPECT_LE(p.timeUs - lastSound, 100000 + kPeriodUs);
            }
            lastSound = p.timeUs;
        }
    }
    EXPECT_EQ(lastFront, 4000000 + 89 * kPeriodUs);

    // Opened: the first segment here, the others on the read-ahead thread before their turn.
    const std::vector<Log::OpenCall> opens = m_log.Opens();
    ASSERT_EQ(opens.size(), 3u);
    EXPECT_TRUE(opens[0].onCaller);
    EXPECT_FALSE(opens[1].onCaller);
    EXPECT_FALSE(opens[2].onCaller);
    EXPECT_LT(opens[2].deliveredThen, static_cast<int>(m_log.scripts.at("seg0").packets.size() +
                                                       m_log.scripts.at("seg1").packets.size()));
    EXPECT_TRUE(m_log.Seeks().empty());

    // Open again: the drive plays from its start.
    ASSERT_EQ(Trip().Open("drive", nullptr), 1);
    ASSERT_TRUE(Next(d));
    EXPECT_EQ(d.tag, (Tag{0, 0}));
}

TEST_F(TripParserTest, SkipsSegmentsThatDoNotOpenAndEndsFailedAfterAFailedRead) {
    Add(1).failOpen = true; // the first does not open: the drive starts with the second
    Add(1);
    Add(1).failOpen = true;
    Add(1).failAfter = 20;
    Add(1);
    ASSERT_EQ(Trip().Open("drive", nullptr), 1);
    const std::vector<Delivered> all = ReadAll();
    EXPECT_EQ(Trip().LastReadEnd(), ReadEnd::kFailed);
    std::vector<int32_t> segments;
    for (const Delivered& p : all) {
        if (segments.empty() || segments.back() != p.tag.segment)
            segments.push_back(p.tag.segment);
        EXPECT_EQ(p.timeUs, DriveTime(p.tag));
    }
    EXPECT_EQ(segments, (std::vector<int32_t>{1, 3, 4}));
    EXPECT_EQ(std::count_if(all.begin(), all.end(),
                            [](const Delivered& p) { return p.tag.segment == 3; }),
              20);
    EXPECT_EQ(all.back().tag.segment, 4);
    EXPECT_EQ(all.back().tag.serial,
              static_cast<int32_t>(m_log.scripts.at("seg4").packets.size()) - 1);
    // A seek into the segment that does not open plays the next one from its start.
    ASSERT_EQ(Trip().SeekTime(2.5f), 0);
    Delivered first{};
    ASSERT_TRUE(Next(first));
    EXPECT_EQ(first.tag, (Tag{3, 0}));
    EXPECT_EQ(first.timeUs, 3000000);

    // Only the read failure: the same, for a drive whose last segment fails. (Closed first:
    // the read-ahead thread reads the scripts.)
    Trip().Close();
    for (const char* name : {"seg0", "seg2", "seg3"})
        m_log.scripts[name] = MakeScript(1, 0);
    m_log.scripts["seg4"].failAfter = 3;
    ASSERT_EQ(Trip().Open("drive", nullptr), 1);
    const size_t count = ReadAll().size();
    EXPECT_EQ(count, 4 * m_log.scripts.at("seg0").packets.size() + 3);
    EXPECT_EQ(Trip().LastReadEnd(), ReadEnd::kFailed);

    // None opens: the drive does not open.
    Trip().Close();
    for (auto& [name, script] : m_log.scripts)
        script.failOpen = true;
    EXPECT_EQ(Trip().Open("drive", nullptr), 0);
    Delivered d{};
    EXPECT_FALSE(Next(d));
    EXPECT_EQ(Trip().SeekTime(1.0f), -1);
}

TEST_F(TripParserTest, SeeksIntoTheCurrentTheReadAheadAndAFarSegment) {
    Add(2);
    Add(2, 40000);
    Add(2);
    Add(2, 10000);
    EXPECT_EQ(Trip().SeekTime(1.0f), -1) << "nothing open";
    ASSERT_EQ(Trip().Open("drive", nullptr), 1);
    ASSERT_TRUE(WaitForReadAhead("seg1"));
    const auto opensHere = [this] {
        const std::vector<Log::OpenCall> opens = m_log.Opens();
        return std::count_if(opens.begin(), opens.end(),
                             [](const Log::OpenCall& o) { return o.onCaller; });
    };

    // Inside the current segment: its own seek alone.
    ASSERT_EQ(Trip().SeekTime(1.5f), 0);
    Delivered d = NextFront();
    EXPECT_EQ(d.tag.segment, 0);
    EXPECT_TRUE(d.key);
    EXPECT_NEAR(static_cast<double>(d.timeUs), 1000000.0, 100.0);
    EXPECT_EQ(opensHere(), 1);
    EXPECT_EQ(m_log.Seeks().back(), (std::pair<std::string, float>{"seg0", 1.5f}));

    // Into the read-ahead segment: taken over, sought at its own time (its first picture at
    // 40 ms), and the one after it read ahead.
    ASSERT_EQ(Trip().SeekTime(3.2f), 0);
    d = NextFront();
    EXPECT_EQ(d.tag.segment, 1);
    EXPECT_TRUE(d.key);
    EXPECT_NEAR(static_cast<double>(d.timeUs), 3000000.0, 100.0);
    EXPECT_EQ(opensHere(), 1);
    EXPECT_EQ(m_log.Seeks().back().first, "seg1");
    EXPECT_NEAR(m_log.Seeks().back().second, 1.24f, 1e-4f);
    ASSERT_TRUE(WaitForReadAhead("seg2"));
    // ... and playing on crosses into it.
    Delivered last{};
    while (Next(d) && d.tag.segment == 1)
        last = d;
    EXPECT_EQ(d.tag, (Tag{2, 0}));
    EXPECT_EQ(d.timeUs, 4000000);
    EXPECT_EQ(last.tag.serial, static_cast<int32_t>(m_log.scripts.at("seg1").packets.size()) - 1);

    // Far back: opened here.
    ASSERT_EQ(Trip().SeekTime(1.2f), 0);
    d = NextFront();
    EXPECT_EQ(d.tag.segment, 0);
    EXPECT_NEAR(static_cast<double>(d.timeUs), 1000000.0, 100.0);
    EXPECT_EQ(opensHere(), 2);

    // Far ahead, to a segment's start: opened here, and its first packets in hand serve
    // without an inner seek.
    size_t seeks = m_log.Seeks().size();
    ASSERT_EQ(Trip().SeekTime(6.0f), 0);
    ASSERT_TRUE(Next(d));
    EXPECT_EQ(d.tag, (Tag{3, 0}));
    EXPECT_EQ(d.timeUs, 6000000);
    EXPECT_EQ(opensHere(), 3);
    EXPECT_EQ(m_log.Seeks().size(), seeks);

    // Beyond the end: the last key frame of the last segment; the end comes after it.
    ASSERT_EQ(Trip().SeekTime(60.0f), 0);
    d = NextFront();
    EXPECT_EQ(d.tag.segment, 3);
    EXPECT_NEAR(static_cast<double>(d.timeUs), 7000000.0, 100.0);
    ReadAll();
    EXPECT_EQ(Trip().LastReadEnd(), ReadEnd::kEnded);
    // After the end a seek plays again.
    seeks = m_log.Seeks().size();
    ASSERT_EQ(Trip().SeekTime(2.0f), 0);
    ASSERT_TRUE(Next(d));
    EXPECT_EQ(d.tag, (Tag{1, 0}));
    EXPECT_EQ(d.timeUs, 2000000);
    EXPECT_EQ(m_log.Seeks().size(), seeks);
    EXPECT_EQ(Trip().SeekTime(std::nanf("")), -1);
}

TEST_F(TripParserTest, SlowOpensAreWaitedForAndStopEndsAReadAheadCleanly) {
    Add(1);
    Add(1).openDelay = 300ms;
    Add(1);
    // Read straight through: the boundary waits for the read-ahead under way instead of
    // opening the segment a second time.
    ASSERT_EQ(Trip().Open("drive", nullptr), 1);
    const std::vector<Delivered> all = ReadAll();
    EXPECT_EQ(all.size(), 3 * m_log.scripts.at("seg0").packets.size());
    for (const Delivered& p : all)
        EXPECT_EQ(p.timeUs, DriveTime(p.tag));
    EXPECT_EQ(m_log.Opens().size(), 3u);
    for (size_t i = 1; i < m_log.Opens().size(); ++i)
        EXPECT_FALSE(m_log.Opens()[i].onCaller);

    // Stop and Close while the next segment is being opened: nothing stays alive, and the
    // trip opens again afterwards.
    ASSERT_EQ(Trip().Open("drive", nullptr), 1);
    std::this_thread::sleep_for(50ms);
    const auto began = std::chrono::steady_clock::now();
    Trip().Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 2s);
    EXPECT_EQ(m_log.Alive(), 0);
    Delivered d{};
    EXPECT_FALSE(Next(d));
    ASSERT_TRUE(Trip().Start());
    ASSERT_EQ(Trip().Open("drive", nullptr), 1);
    std::this_thread::sleep_for(50ms);
    Trip().Close();
    EXPECT_EQ(m_log.Alive(), 0);
    ASSERT_EQ(Trip().Open("drive", nullptr), 1);
    EXPECT_EQ(ReadAll().size(), all.size());
    // Destroyed while reading ahead.
    ASSERT_EQ(Trip().Open("drive", nullptr), 1);
}
