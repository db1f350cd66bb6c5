#include "QuickDuration.h"

#include "base/AsciiText.h"
#include "base/FileIo.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int kMaxBoxes = 4096;
constexpr int64_t kTsWindow = 65536;
constexpr int kTsPacket = 188;

uint32_t Be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint64_t Be64(const uint8_t* p) {
    return (uint64_t{Be32(p)} << 32) | Be32(p + 4);
}

bool ReadExactly(const QuickDuration::Reader& read, int64_t offset, uint8_t* buffer, int64_t n) {
    return read(offset, buffer, n) == n;
}

struct Box {
    int64_t start = 0;
    int64_t header = 8;
    int64_t size = 0; // whole box
    char type[4] = {};
};

// The box at offset within [offset, end); false when its header cannot be read or makes no
// sense.
bool ReadBox(const QuickDuration::Reader& read, int64_t offset, int64_t end, Box& box) {
    uint8_t head[16];
    if (end - offset < 8 || !ReadExactly(read, offset, head, 8))
        return false;
    box.start = offset;
    box.header = 8;
    uint64_t size = Be32(head);
    std::copy(head + 4, head + 8, box.type);
    if (size == 1) {
        if (end - offset < 16 || !ReadExactly(read, offset + 8, head + 8, 8))
            return false;
        size = Be64(head + 8);
        box.header = 16;
    } else if (size == 0) {
        size = static_cast<uint64_t>(end - offset); // to the end of the file
    }
    if (size < static_cast<uint64_t>(box.header) || size > static_cast<uint64_t>(INT64_MAX))
        return false;
    box.size = static_cast<int64_t>(size);
    return true;
}

bool TypeIs(const Box& box, const char* type) {
    return std::equal(box.type, box.type + 4, type);
}

QuickDuration Mp4(int64_t fileSize, const QuickDuration::Reader& read) {
    QuickDuration result;
    int64_t at = 0;
    bool sawMoov = false;
    for (int boxes = 0; at < fileSize && boxes < kMaxBoxes; ++boxes) {
        Box box;
        if (!ReadBox(read, at, fileSize, box)) {
            result.damaged = true;
            break;
        }
        if (box.size > fileSize - at) {
            result.damaged = true; // a box cut short: the file ends inside it
        }
        if (TypeIs(box, "moov")) {
            sawMoov = true;
            const int64_t end = box.size > fileSize - at ? fileSize : at + box.size;
            int64_t inner = at + box.header;
            for (int n = 0; inner < end && n < kMaxBoxes; ++n) {
                Box child;
                if (!ReadBox(read, inner, end, child))
                    break;
                if (TypeIs(child, "mvhd")) {
                    uint8_t body[32];
                    const int64_t avail = std::min<int64_t>(child.size - child.header, 32);
                    if (avail >= 20 && ReadExactly(read, inner + child.header, body, avail)) {
                        const bool v1 = body[0] == 1;
                        uint32_t scale = 0;
                        uint64_t duration = 0;
                        if (v1 && avail >= 32) {
                            scale = Be32(body + 20);
                            duration = Be64(body + 24);
                        } else if (!v1) {
                            scale = Be32(body + 12);
                            duration = Be32(body + 16);
                        }
                        if (scale > 0 && duration != UINT64_MAX && duration != UINT32_MAX)
                            result.seconds = static_cast<double>(duration) / scale;
                    }
                    break;
                }
                if (child.size > end - inner)
                    break;
                inner += child.size;
            }
        }
        if (box.size > fileSize - at)
            break;
        at += box.size;
    }
    if (!sawMoov)
        result.damaged = true;
    return result;
}

// Presentation times (90 kHz) of the PES headers that start in whole packets of buffer.
void TsTimes(const uint8_t* data, int64_t length, int64_t& first, int64_t& last) {
    // Find the packets' rhythm: a sync byte with another one packet later.
    int64_t start = 0;
    while (start + kTsPacket < length && !(data[start] == 0x47 && data[start + kTsPacket] == 0x47))
        ++start;
    for (int64_t p = start; p + kTsPacket <= length; p += kTsPacket) {
        const uint8_t* packet = data + p;
        if (packet[0] != 0x47 || (packet[1] & 0x40) == 0)
            continue; // lost sync, or no payload start
        int64_t at = 4;
        const int control = (packet[3] >> 4) & 3;
        if ((control & 1) == 0)
            continue;
        if (control == 3)
            at += 1 + packet[4];
        if (at + 14 > kTsPacket)
            continue;
        const uint8_t* pes = packet + at;
        if (pes[0] != 0 || pes[1] != 0 || pes[2] != 1 || (pes[7] & 0x80) == 0)
            continue;
        const uint8_t* t = pes + 9;
        const int64_t pts = (int64_t{t[0] & 0x0E} << 29) | (int64_t{t[1]} << 22) |
                            (int64_t{t[2] & 0xFE} << 14) | (int64_t{t[3]} << 7) | (t[4] >> 1);
        if (first < 0)
            first = pts;
        last = pts;
    }
}

QuickDuration Ts(int64_t fileSize, const QuickDuration::Reader& read) {
    QuickDuration result;
    result.damaged = fileSize % kTsPacket != 0 || fileSize == 0;
    if (fileSize < kTsPacket) {
        result.damaged = true;
        return result;
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min(fileSize, kTsWindow)));
    int64_t first = -1;
    int64_t last = -1;
    const int64_t head = read(0, buffer.data(), static_cast<int64_t>(buffer.size()));
    if (head > 0)
        TsTimes(buffer.data(), head, first, last);
    int64_t unusedFirst = -1;
    const int64_t tailAt = std::max<int64_t>(0, fileSize - kTsWindow);
    const int64_t tail = read(tailAt, buffer.data(), static_cast<int64_t>(buffer.size()));
    if (tail > 0)
        TsTimes(buffer.data(), tail, unusedFirst, last);
    if (first >= 0 && last >= 0) {
        int64_t span = last - first;
        if (span < 0)
            span += int64_t{1} << 33; // the 33-bit clock wrapped
        result.seconds = static_cast<double>(span) / 90000.0;
    } else {
        result.damaged = true;
    }
    return result;
}

} // namespace

QuickDuration QuickDuration::Read(const std::string& kind, int64_t fileSize, const Reader& read) {
    const std::string k = ascii::LowerCopy(kind);
    if (fileSize < 0)
        return {};
    if (k == "mp4" || k == "mov" || k == "m4v")
        return Mp4(fileSize, read);
    if (k == "ts" || k == "mts")
        return Ts(fileSize, read);
    return {};
}

QuickDuration QuickDuration::OfFile(const std::string& path) {
    const std::string kind(ascii::ExtensionOf(path));
    CUniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd.Valid() || fstat(fd.Get(), &st) != 0) {
        QuickDuration missing;
        missing.damaged = true;
        return missing;
    }
    return Read(kind, st.st_size, [&fd](int64_t offset, uint8_t* buffer, int64_t n) -> int64_t {
        if (offset < 0 || n < 0)
            return -1;
        return static_cast<int64_t>(fileio::PreadUpTo(fd.Get(), buffer, static_cast<size_t>(n),
                                                      static_cast<uint64_t>(offset)));
    });
}
