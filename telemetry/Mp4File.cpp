#include "Mp4File.h"

#include "base/ByteOrder.h"

#include <algorithm>
#include <array>

namespace {

// Box types a file of this family may start with.
constexpr std::array<std::string_view, 8> kFirstBoxes = {"ftyp", "moov", "mdat", "free",
                                                         "skip", "wide", "pnot", "uuid"};

bool PrintableType(const uint8_t* type) {
    for (int i = 0; i < 4; ++i)
        if (type[i] < 0x20 || type[i] > 0x7E)
            return false;
    return true;
}

// The box whose header lies in head (up to 16 bytes available) at `offset`, inside a parent
// ending at `end`. False when it does not fit.
bool BoxAt(const uint8_t* head, size_t available, uint64_t offset, uint64_t end, Mp4Box& box) {
    if (available < 8 || offset > end || end - offset < 8 || !PrintableType(head + 4))
        return false;
    uint64_t size = LoadU32BE(head);
    uint64_t headerSize = 8;
    if (size == 1) {
        if (available < 16 || end - offset < 16)
            return false;
        size = LoadU64BE(head + 8);
        headerSize = 16;
    } else if (size == 0) {
        size = end - offset;
    }
    if (size < headerSize || size > end - offset)
        return false;
    box.type.assign(reinterpret_cast<const char*>(head + 4), 4);
    box.offset = offset;
    box.headerSize = headerSize;
    box.size = size;
    return true;
}

// A full box's payload after version and flags: [data, data + size). False when too short.
struct Payload {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

bool FindPayload(const Payload& parent, std::string_view type, Payload& out) {
    Mp4Box box;
    if (!Mp4File::FindChild(parent.data, parent.size, type, box))
        return false;
    out.data = parent.data + box.DataOffset();
    out.size = static_cast<size_t>(box.DataSize());
    return true;
}

int64_t TicksToMs(uint64_t ticks, uint32_t timescale) {
    return static_cast<int64_t>(ticks / timescale * 1000 + ticks % timescale * 1000 / timescale);
}

std::string FourCc(const uint8_t* p) {
    return std::string(reinterpret_cast<const char*>(p), 4);
}

// The sample tables of one track's stbl into track.samples. The samples of a file are
// distinct byte ranges of it, so the table ends at the first sample that lies outside the
// file or would bring the samples' bytes past its size: a few bytes of hostile table cannot
// make a million samples.
void ReadSamples(const Payload& stbl, uint32_t timescale, uint64_t fileSize, Mp4Track& track) {
    Payload stsz;
    Payload stsc;
    Payload stts;
    Payload chunks;
    bool wide = false;
    if (!FindPayload(stbl, "stsz", stsz) || !FindPayload(stbl, "stsc", stsc) ||
        !FindPayload(stbl, "stts", stts))
        return;
    if (!FindPayload(stbl, "stco", chunks)) {
        if (!FindPayload(stbl, "co64", chunks))
            return;
        wide = true;
    }
    if (stsz.size < 12 || stsc.size < 8 || stts.size < 8 || chunks.size < 8 || timescale == 0)
        return;

    // Sizes.
    const uint32_t fixedSize = LoadU32BE(stsz.data + 4);
    uint32_t count = LoadU32BE(stsz.data + 8);
    if (fixedSize == 0)
        count = static_cast<uint32_t>(std::min<uint64_t>(count, (stsz.size - 12) / 4));
    count = std::min(count, Mp4File::kMaxSamples);

    // Chunk offsets.
    const size_t entrySize = wide ? 8 : 4;
    const uint32_t chunkCount = static_cast<uint32_t>(
        std::min<uint64_t>(LoadU32BE(chunks.data + 4), (chunks.size - 8) / entrySize));

    // Times: stts runs of (count, delta).
    const uint32_t timeRuns =
        static_cast<uint32_t>(std::min<uint64_t>(LoadU32BE(stts.data + 4), (stts.size - 8) / 8));
    const uint32_t chunkRuns =
        static_cast<uint32_t>(std::min<uint64_t>(LoadU32BE(stsc.data + 4), (stsc.size - 8) / 12));

    // Composition offsets: ctts runs of (count, offset), the offset signed in version 1 and
    // read as signed in version 0 too (writers put negative values there).
    Payload ctts;
    uint32_t offsetRuns = 0;
    if (FindPayload(stbl, "ctts", ctts) && ctts.size >= 8)
        offsetRuns = static_cast<uint32_t>(
            std::min<uint64_t>(LoadU32BE(ctts.data + 4), (ctts.size - 8) / 8));
    uint32_t offsetRun = 0;
    uint32_t leftInOffsetRun = offsetRuns > 0 ? LoadU32BE(ctts.data + 8) : 0;

    // What the size table may claim is checked as the samples are taken.
    track.samples.reserve(std::min<uint32_t>(count, 4096));
    uint64_t sampleBytes = 0;
    uint32_t timeRun = 0;
    uint32_t leftInRun = timeRuns > 0 ? LoadU32BE(stts.data + 8) : 0;
    uint64_t ticks = 0;
    uint32_t sample = 0;
    for (uint32_t run = 0; run < chunkRuns && sample < count; ++run) {
        const uint8_t* entry = stsc.data + 8 + size_t{run} * 12;
        const uint32_t firstChunk = LoadU32BE(entry);
        const uint32_t perChunk = LoadU32BE(entry + 4);
        const uint32_t nextFirst = run + 1 < chunkRuns ? LoadU32BE(entry + 12) : chunkCount + 1;
        if (firstChunk == 0 || perChunk == 0)
            return;
        for (uint32_t chunk = firstChunk;
             chunk < nextFirst && chunk <= chunkCount && sample < count; ++chunk) {
            const uint8_t* at = chunks.data + 8 + size_t{chunk - 1} * entrySize;
            uint64_t offset = wide ? LoadU64BE(at) : LoadU32BE(at);
            for (uint32_t i = 0; i < perChunk && sample < count; ++i, ++sample) {
                while (leftInRun == 0 && timeRun + 1 < timeRuns)
                    leftInRun = LoadU32BE(stts.data + 8 + size_t{++timeRun} * 8);
                const uint32_t delta =
                    timeRuns > 0 ? LoadU32BE(stts.data + 12 + size_t{timeRun} * 8) : 0;
                if (leftInRun > 0)
                    --leftInRun;
                while (leftInOffsetRun == 0 && offsetRun + 1 < offsetRuns)
                    leftInOffsetRun = LoadU32BE(ctts.data + 8 + size_t{++offsetRun} * 8);
                const int32_t shift =
                    leftInOffsetRun > 0
                        ? static_cast<int32_t>(LoadU32BE(ctts.data + 12 + size_t{offsetRun} * 8))
                        : 0;
                if (leftInOffsetRun > 0)
                    --leftInOffsetRun;
                const uint32_t size =
                    fixedSize != 0 ? fixedSize : LoadU32BE(stsz.data + 12 + size_t{sample} * 4);
                if (offset > fileSize || size > fileSize - offset || size > fileSize - sampleBytes)
                    return;
                sampleBytes += size;
                Mp4Sample entrySample;
                entrySample.offset = offset;
                entrySample.size = size;
                entrySample.timeMs = TicksToMs(ticks, timescale);
                entrySample.durationMs = TicksToMs(delta, timescale);
                entrySample.presentationMs =
                    shift >= 0 ? TicksToMs(ticks + static_cast<uint64_t>(shift), timescale)
                               : entrySample.timeMs -
                                     TicksToMs(static_cast<uint64_t>(-int64_t{shift}), timescale);
                track.samples.push_back(entrySample);
                ticks += delta;
                offset += size;
            }
        }
    }
}

} // namespace

std::vector<Mp4Box> Mp4File::Children(const uint8_t* data, size_t size) {
    std::vector<Mp4Box> boxes;
    uint64_t offset = 0;
    while (offset + 8 <= size) {
        Mp4Box box;
        const size_t available = static_cast<size_t>(std::min<uint64_t>(16, size - offset));
        if (!BoxAt(data + offset, available, offset, size, box))
            break;
        boxes.push_back(box);
        offset += box.size;
    }
    return boxes;
}

bool Mp4File::FindChild(const uint8_t* data, size_t size, std::string_view type, Mp4Box& out) {
    uint64_t offset = 0;
    while (offset + 8 <= size) {
        Mp4Box box;
        const size_t available = static_cast<size_t>(std::min<uint64_t>(16, size - offset));
        if (!BoxAt(data + offset, available, offset, size, box))
            return false;
        if (box.type == type) {
            out = box;
            return true;
        }
        offset += box.size;
    }
    return false;
}

bool Mp4File::Open(ByteSource& source) {
    m_topLevel.clear();
    m_moov.clear();
    const uint64_t end = source.Size();
    m_fileSize = end;
    uint64_t offset = 0;
    while (offset + 8 <= end && m_topLevel.size() < kMaxTopLevelBoxes) {
        uint8_t head[16] = {};
        const size_t available = static_cast<size_t>(std::min<uint64_t>(16, end - offset));
        Mp4Box box;
        if (!source.ReadAt(offset, head, available) || !BoxAt(head, available, offset, end, box)) {
            // A box cut off by the end of the file: kept to the end, so that what it holds
            // can still be searched.
            if (available >= 8 && PrintableType(head + 4) && !m_topLevel.empty()) {
                box.type = FourCc(head + 4);
                box.offset = offset;
                box.headerSize = 8;
                box.size = end - offset;
                m_topLevel.push_back(box);
            }
            break;
        }
        if (m_topLevel.empty() &&
            std::find(kFirstBoxes.begin(), kFirstBoxes.end(), box.type) == kFirstBoxes.end())
            return false;
        m_topLevel.push_back(box);
        offset += box.size;
    }
    if (m_topLevel.empty())
        return false;
    const Mp4Box* moov = FindTopLevel("moov");
    if (moov != nullptr && moov->DataSize() <= kMaxMoovBytes) {
        m_moov.resize(static_cast<size_t>(moov->DataSize()));
        if (!source.ReadAt(moov->DataOffset(), m_moov.data(), m_moov.size()))
            m_moov.clear();
    }
    return true;
}

const Mp4Box* Mp4File::FindTopLevel(std::string_view type) const {
    for (const Mp4Box& box : m_topLevel)
        if (box.type == type)
            return &box;
    return nullptr;
}

std::vector<Mp4Track> Mp4File::Tracks(std::initializer_list<std::string_view> sampleFormats) const {
    std::vector<Mp4Track> tracks;
    for (const Mp4Box& trak : Children(m_moov.data(), m_moov.size())) {
        if (trak.type != "trak")
            continue;
        const Payload trakPayload{m_moov.data() + trak.DataOffset(),
                                  static_cast<size_t>(trak.DataSize())};
        Payload mdia;
        Payload mdhd;
        Payload hdlr;
        Payload minf;
        Payload stbl;
        Payload stsd;
        if (!FindPayload(trakPayload, "mdia", mdia) || !FindPayload(mdia, "mdhd", mdhd) ||
            !FindPayload(mdia, "hdlr", hdlr) || !FindPayload(mdia, "minf", minf) ||
            !FindPayload(minf, "stbl", stbl) || !FindPayload(stbl, "stsd", stsd))
            continue;
        Mp4Track track;
        // mdhd: version 1 has 64-bit times before the timescale.
        if (mdhd.size >= 24 && mdhd.data[0] == 1)
            track.timescale = LoadU32BE(mdhd.data + 20);
        else if (mdhd.size >= 16)
            track.timescale = LoadU32BE(mdhd.data + 12);
        if (hdlr.size >= 12)
            track.handler = FourCc(hdlr.data + 8);
        // stsd: version and flags, count, then the first entry (size, type).
        if (stsd.size >= 16) {
            track.format = FourCc(stsd.data + 12);
            const uint64_t entrySize = LoadU32BE(stsd.data + 8);
            if (entrySize >= 8 && entrySize <= stsd.size - 8)
                track.description.assign(stsd.data + 16, stsd.data + 8 + entrySize);
        }
        if (sampleFormats.size() == 0 || std::find(sampleFormats.begin(), sampleFormats.end(),
                                                   track.format) != sampleFormats.end())
            ReadSamples(stbl, track.timescale, m_fileSize, track);
        tracks.push_back(std::move(track));
    }
    return tracks;
}
