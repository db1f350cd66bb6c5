#include "storage/QuickDuration.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

Bytes Box(const char* type, const Bytes& body) {
    Bytes out;
    Put32(out, static_cast<uint32_t>(8 + body.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Mvhd(uint32_t scale, uint32_t duration) {
    Bytes body(4, 0); // version 0, flags
    Put32(body, 0);
    Put32(body, 0);
    Put32(body, scale);
    Put32(body, duration);
    body.resize(body.size() + 80, 0);
    return Box("mvhd", body);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

QuickDuration ReadBytes(const std::string& kind, const Bytes& file) {
    return QuickDuration::Read(
        kind, static_cast<int64_t>(file.size()),
        [&](int64_t offset, uint8_t* buffer, int64_t n) -> int64_t {
            if (offset >= static_cast<int64_t>(file.size()))
                return 0;
            const int64_t count = std::min<int64_t>(n, static_cast<int64_t>(file.size()) - offset);
            std::memcpy(buffer, file.data() + offset, static_cast<size_t>(count));
            return count;
        });
}

} // namespace

TEST(QuickDurationTest, Mp4LengthFromTheMovieHeaderWhereverMoovLies) {
    const Bytes ftyp = Box("ftyp", Bytes(8, 'i'));
    const Bytes mdat = Box("mdat", Bytes(100, 0));
    const Bytes moov = Box("moov", Concat({Box("udta", Bytes(3, 0)), Mvhd(1000, 61500)}));
    for (const Bytes& file : {Concat({ftyp, mdat, moov}), Concat({ftyp, moov, mdat})}) {
        const QuickDuration d = ReadBytes("MP4", file);
        EXPECT_DOUBLE_EQ(d.seconds, 61.5);
        EXPECT_FALSE(d.damaged);
    }
}

TEST(QuickDurationTest, Mp4WithoutIndexOrCutShortIsDamaged) {
    const Bytes ftyp = Box("ftyp", Bytes(8, 'i'));
    Bytes open = ftyp; // an mdat of size 0 runs to the end, and the index never came
    Put32(open, 0);
    open.insert(open.end(), {'m', 'd', 'a', 't'});
    open.resize(open.size() + 50, 0);
    QuickDuration d = ReadBytes("mov", open);
    EXPECT_TRUE(d.damaged);
    EXPECT_LT(d.seconds, 0);

    Bytes cut = Concat({ftyp, Box("mdat", Bytes(100, 0)), Box("moov", Mvhd(1000, 5000))});
    cut.resize(cut.size() - 20);
    d = ReadBytes("mp4", cut);
    EXPECT_TRUE(d.damaged);

    // A box inside the movie claiming the largest 64-bit size ends the walk without wrapping.
    Bytes huge{0, 0, 0, 1, 'f', 'r', 'e', 'e', 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const Bytes wild = Concat({ftyp, Box("moov", Concat({huge, Mvhd(1000, 5000)}))});
    EXPECT_LT(ReadBytes("mp4", wild).seconds, 0);

    EXPECT_TRUE(ReadBytes("mp4", Bytes{0, 0, 0, 3, 'x'}).damaged); // a box smaller than its head
    EXPECT_TRUE(ReadBytes("mp4", Bytes{}).damaged);
}

TEST(QuickDurationTest, TsSpanOfPresentationTimesAndCutPackets) {
    auto packet = [](int64_t pts) {
        Bytes p = {0x47, 0x41, 0x00, 0x10, 0, 0, 1, 0xE0, 0, 0, 0x80, 0x80, 5};
        p.push_back(static_cast<uint8_t>(0x21 | ((pts >> 29) & 0x0E)));
        p.push_back(static_cast<uint8_t>(pts >> 22));
        p.push_back(static_cast<uint8_t>(0x01 | ((pts >> 14) & 0xFE)));
        p.push_back(static_cast<uint8_t>(pts >> 7));
        p.push_back(static_cast<uint8_t>(0x01 | ((pts << 1) & 0xFE)));
        p.resize(188, 0xFF);
        return p;
    };
    Bytes filler = {0x47, 0x01, 0x00, 0x11};
    filler.resize(188, 0xFF);
    const Bytes ts = Concat({packet(90000), filler, filler, packet(90000 * 4)});
    QuickDuration d = ReadBytes("ts", ts);
    EXPECT_DOUBLE_EQ(d.seconds, 3.0);
    EXPECT_FALSE(d.damaged);

    Bytes cut = ts;
    cut.resize(cut.size() - 100);
    d = ReadBytes("TS", cut);
    EXPECT_TRUE(d.damaged);
    EXPECT_DOUBLE_EQ(d.seconds, 0.0); // the last whole packet is the first again

    EXPECT_LT(ReadBytes("mkv", ts).seconds, 0); // not read quickly: unknown
    EXPECT_FALSE(ReadBytes("mkv", ts).damaged);
}

TEST(QuickDurationTest, MissingFileIsDamaged) {
    TempDir dir;
    EXPECT_TRUE(QuickDuration::OfFile(dir.File("none.mp4")).damaged);
}
