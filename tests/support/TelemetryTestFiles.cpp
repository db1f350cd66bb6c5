#include "TelemetryTestFiles.h"

#include <cstring>

namespace telemetryfiles {

void PutU16BE(Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void PutU32BE(Bytes& out, uint32_t value) {
    PutU16BE(out, value >> 16);
    PutU16BE(out, value & 0xFFFF);
}

void PutU32LE(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutF32LE(Bytes& out, float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    PutU32LE(out, bits);
}

void PutText(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

Bytes Join(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Box(std::string_view type, const Bytes& payload) {
    Bytes out;
    PutU32BE(out, static_cast<uint32_t>(payload.size() + 8));
    PutText(out, type);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes FullBox(std::string_view type, uint8_t version, const Bytes& payload) {
    Bytes body{version, 0, 0, 0};
    body.insert(body.end(), payload.begin(), payload.end());
    return Box(type, body);
}

Bytes Mp4WithTrack(std::string_view handler, std::string_view format, uint32_t timescale,
                   const std::vector<Bytes>& samples, uint32_t ticksPerSample,
                   const Bytes& extraMoov) {
    Bytes ftypPayload;
    PutText(ftypPayload, "isom");
    PutU32BE(ftypPayload, 0);
    PutText(ftypPayload, "isommp41");
    const Bytes ftyp = Box("ftyp", ftypPayload);
    const Bytes mdat = Box("mdat", Join(samples));
    const uint32_t first = static_cast<uint32_t>(ftyp.size() + 8);

    Bytes mdhd(4 + 4, 0); // creation, modification
    PutU32BE(mdhd, timescale);
    PutU32BE(mdhd, static_cast<uint32_t>(samples.size()) * ticksPerSample);
    PutU32BE(mdhd, 0);
    Bytes hdlr(4, 0);
    PutText(hdlr, handler);
    hdlr.resize(hdlr.size() + 12 + 1, 0);
    Bytes entry(6, 0);
    PutU16BE(entry, 1);
    Bytes stsd;
    PutU32BE(stsd, 1);
    const Bytes sampleEntry = Box(format, entry);
    stsd.insert(stsd.end(), sampleEntry.begin(), sampleEntry.end());
    Bytes stts;
    PutU32BE(stts, 1);
    PutU32BE(stts, static_cast<uint32_t>(samples.size()));
    PutU32BE(stts, ticksPerSample);
    // Two chunks: the first holds one sample, the second the rest.
    const uint32_t chunks = samples.size() > 1 ? 2 : 1;
    Bytes stsc;
    PutU32BE(stsc, chunks);
    PutU32BE(stsc, 1);
    PutU32BE(stsc, 1);
    PutU32BE(stsc, 1);
    if (chunks == 2) {
        PutU32BE(stsc, 2);
        PutU32BE(stsc, static_cast<uint32_t>(samples.size() - 1));
        PutU32BE(stsc, 1);
    }
    Bytes stsz;
    PutU32BE(stsz, 0);
    PutU32BE(stsz, static_cast<uint32_t>(samples.size()));
    for (const Bytes& sample : samples)
        PutU32BE(stsz, static_cast<uint32_t>(sample.size()));
    Bytes stco;
    PutU32BE(stco, chunks);
    PutU32BE(stco, first);
    if (chunks == 2)
        PutU32BE(stco, first + static_cast<uint32_t>(samples[0].size()));
    const Bytes stbl = Box(
        "stbl", Join({FullBox("stsd", 0, stsd), FullBox("stts", 0, stts), FullBox("stsc", 0, stsc),
                      FullBox("stsz", 0, stsz), FullBox("stco", 0, stco)}));
    const Bytes mdia =
        Box("mdia", Join({FullBox("mdhd", 0, mdhd), FullBox("hdlr", 0, hdlr), Box("minf", stbl)}));
    const Bytes moov = Box("moov", Join({Box("trak", mdia), extraMoov}));
    return Join({ftyp, mdat, moov});
}

Bytes Record(const GpsRecord& r) {
    Bytes out;
    for (const uint32_t field : {r.hour, r.minute, r.second, r.year, r.month, r.day})
        PutU32LE(out, field);
    out.push_back(static_cast<uint8_t>(r.status));
    out.push_back(static_cast<uint8_t>(r.ns));
    out.push_back(static_cast<uint8_t>(r.ew));
    out.push_back(0);
    for (const float value : {r.latitude, r.longitude, r.knots, r.course})
        PutF32LE(out, value);
    return out;
}

Bytes Block(const GpsRecord& record, bool oldLayout, size_t size) {
    Bytes out;
    PutU32BE(out, static_cast<uint32_t>(size));
    PutText(out, "freeGPS ");
    out.resize(oldLayout ? 0x30 : 0x10, 0);
    const Bytes body = Record(record);
    out.insert(out.end(), body.begin(), body.end());
    out.resize(size, 0);
    return out;
}

Bytes Klv(std::string_view key, char type, uint8_t structSize, uint16_t repeat,
          const Bytes& values) {
    Bytes out;
    PutText(out, key);
    out.push_back(static_cast<uint8_t>(type));
    out.push_back(structSize);
    PutU16BE(out, repeat);
    out.insert(out.end(), values.begin(), values.end());
    while (out.size() % 4 != 0)
        out.push_back(0);
    return out;
}

Bytes TsPacket(uint16_t pid, bool start, const Bytes& payload) {
    Bytes out{0x47, static_cast<uint8_t>((start ? 0x40 : 0) | (pid >> 8)),
              static_cast<uint8_t>(pid & 0xFF)};
    const size_t room = 184;
    if (payload.size() >= room) {
        out.push_back(0x10);
        out.insert(out.end(), payload.begin(), payload.begin() + room);
        return out;
    }
    out.push_back(0x30);
    const size_t stuffing = room - payload.size() - 1;
    out.push_back(static_cast<uint8_t>(stuffing));
    if (stuffing > 0) {
        out.push_back(0);
        out.resize(out.size() + stuffing - 1, 0xFF);
    }
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

namespace {

Bytes Section(uint8_t tableId, const Bytes& body) {
    Bytes out{0}; // pointer field
    out.push_back(tableId);
    PutU16BE(out, 0xB000 | static_cast<uint32_t>(5 + body.size() + 4));
    PutU16BE(out, 1);
    out.push_back(0xC1);
    out.push_back(0);
    out.push_back(0);
    out.insert(out.end(), body.begin(), body.end());
    PutU32BE(out, 0); // CRC, not checked by the reader
    return out;
}

} // namespace

Bytes PatPayload(uint16_t mapPid) {
    Bytes body;
    PutU16BE(body, 1);
    PutU16BE(body, 0xE000u | mapPid);
    return Section(0x00, body);
}

Bytes PmtPayload(const std::vector<uint16_t>& streams) {
    Bytes body;
    PutU16BE(body, 0xE000u | (streams.empty() ? 0x1FFFu : streams[0]));
    PutU16BE(body, 0xF000);
    for (const uint16_t pid : streams) {
        body.push_back(0x1B);
        PutU16BE(body, 0xE000u | pid);
        PutU16BE(body, 0xF000);
    }
    return Section(0x02, body);
}

Bytes Pes(uint8_t streamId, const Bytes& body) {
    Bytes out{0, 0, 1, streamId};
    PutU16BE(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

} // namespace telemetryfiles
