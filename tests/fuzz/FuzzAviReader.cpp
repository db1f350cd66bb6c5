// Feeds arbitrary bytes to the AVI reader as a file (in memory): open with and without an
// index, read every chunk, seek by time and read again.
#include "formats/CAVIExtractor.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One file in memory holds each input in turn.
    static const int fd = memfd_create("fuzz-avi", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0)
        return 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);

    static std::vector<uint8_t> buffer(kPacketBufferSize + 1);
    // Seek times come from the last bytes of the input, so the fuzzer can steer them.
    float seconds[2] = {0.5f, 2.0f};
    if (size >= 8)
        std::memcpy(seconds, data + size - 8, 8);

    // One reader for every input, as the player keeps one for every recording: each Open
    // starts afresh, and stdio's buffer is not taken anew each time.
    static CAVIExtractor reader;
    OpenInfo info;
    if (reader.Open(path, &info) != 0) {
        char id[5];
        for (int pass = 0; pass < 3; ++pass) {
            int32_t capacity = pass == 1 ? 7 : kPacketBufferSize;
            for (int i = 0; i < 100000; ++i) {
                int32_t chunk = capacity;
                if (reader.ReadChunk(id, buffer.data(), chunk) < 0)
                    break;
            }
            if (pass < 2)
                reader.SeekTime(seconds[pass]);
        }
        int32_t bits = 0;
        int32_t rate = 0;
        reader.GetAudioFormat(bits, rate);
        reader.GetVideoSize(0);
        reader.GetVideoSize(1);
        reader.GetFrameRate(1);
        reader.Seek(0, 0);
        MediaPacket packet;
        reader.Read(buffer.data(), kPacketBufferSize, packet);
    }
    reader.Close();
    OpenInfo again;
    reader.BuildIndex(path, again);
    return 0;
}
