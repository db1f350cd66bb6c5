// Throughput of the AVI writer and reader, each next to a plain stdio copy of the same bytes
// in the same chunk sizes: the plain copy is what the disk and the C library give at best, so
// the ratio shows what the container itself costs.
//
// The data is about 200 MB laid out like a two-channel recording: 30,000-byte video chunks
// (three front to one rear), a 3840-byte audio block every 8 video chunks and a text line
// every 30. Every benchmark counts the payload bytes only, so that the AVI figures and the
// plain ones compare the same work; the AVI file also carries chunk headers and the index.
//
// The files live in a fresh folder under $TMPDIR (or /tmp) and are removed at the end. Both
// readers read from the page cache: the files are written before the benchmarks run and each
// benchmark runs a warm-up first.
//
// After the usual report, the median times give the throughput ratios AVI / plain copy.

#include "base/AlignedBuffer.h"
#include "formats/CAVIExtractor.h"
#include "formats/CAVIWriter.h"
#include "player/api/OpenInfo.h"
#include "player/api/StreamKind.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr int32_t kVideoChunkSize = 30000;
constexpr int32_t kAudioBlockSize = 3840;
constexpr int kVideoChunks = 6800;
constexpr int kAudioEvery = 8; // video chunks per audio block
constexpr int kTextEvery = 30; // video chunks per text line
constexpr size_t kPlainReadBufferSize = 1024 * 1024;
// The plain copies get the stream buffer size that the AVI writer and reader give their files,
// so that both sides make the same system calls. With the C library's default (the file
// system's block size, 4 KiB here) the plain copy makes several times more calls and ends up
// the slower one.
constexpr size_t kStdioBufferSize = 256 * 1024;

struct Chunk {
    int slot; // 0 front, 1 rear, 2 audio, 3 text
    const uint8_t* data;
    int32_t size;
};

// The payloads, made once, and the order in which they are written.
struct Recording {
    std::vector<uint8_t> front;
    std::vector<uint8_t> rear;
    std::vector<uint8_t> audio;
    std::vector<std::string> textLines;
    std::vector<Chunk> chunks;
    int64_t payloadBytes = 0;
};

std::vector<uint8_t> Pattern(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    uint32_t state = seed * 2654435761u + 1u;
    for (uint8_t& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

Recording MakeRecording() {
    Recording rec;
    rec.front = Pattern(kVideoChunkSize, 1);
    rec.rear = Pattern(kVideoChunkSize, 2);
    rec.audio = Pattern(kAudioBlockSize, 3);
    // Text lines vary in length, odd ones included, as the telemetry lines do.
    for (int i = 0; i < kVideoChunks / kTextEvery + 1; ++i) {
        char line[96];
        const int length =
            std::snprintf(line, sizeof line, "$GPRMC,%06d.00,A,3731.%04d,N,12702.%04d,E,%d*%02X\n",
                          i, (i * 37) % 10000, (i * 91) % 10000, i % 97, i % 256);
        rec.textLines.emplace_back(line, static_cast<size_t>(length));
    }

    size_t textIndex = 0;
    for (int i = 1; i <= kVideoChunks; ++i) {
        const bool rear = i % 4 == 0;
        rec.chunks.push_back(
            {rear ? 1 : 0, rear ? rec.rear.data() : rec.front.data(), kVideoChunkSize});
        if (i % kAudioEvery == 0)
            rec.chunks.push_back({2, rec.audio.data(), kAudioBlockSize});
        if (i % kTextEvery == 0) {
            const std::string& line = rec.textLines[textIndex++];
            rec.chunks.push_back({3, reinterpret_cast<const uint8_t*>(line.data()),
                                  static_cast<int32_t>(line.size())});
        }
    }
    for (const Chunk& chunk : rec.chunks)
        rec.payloadBytes += chunk.size;
    return rec;
}

bool WritePlain(const Recording& rec, const std::string& path, AlignedBuffer& streamBuffer) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    std::setvbuf(file, reinterpret_cast<char*>(streamBuffer.data()), _IOFBF, streamBuffer.size());
    bool ok = true;
    for (const Chunk& chunk : rec.chunks) {
        const size_t size = static_cast<size_t>(chunk.size);
        if (std::fwrite(chunk.data, 1, size, file) != size) {
            ok = false;
            break;
        }
    }
    return std::fclose(file) == 0 && ok;
}

bool WriteAvi(CAVIWriter& writer, const Recording& rec, const std::string& path) {
    if (!writer.Create(path))
        return false;
    bool ok = true;
    for (const Chunk& chunk : rec.chunks) {
        if (!writer.AddData(chunk.data, chunk.size, chunk.slot)) {
            ok = false;
            break;
        }
    }
    return writer.Close() != 0 && ok;
}

void SetUpWriter(CAVIWriter& writer) {
    writer.SetTwoChannel(true);
    writer.SetVideoSize(0, 1920, 1080);
    writer.SetVideoSize(1, 1280, 720);
    writer.SetFrameRate(0, 30);
    writer.SetFrameRate(1, 30);
    writer.SetAudioRate(8000);
}

// Bytes read, or -1 when a read came up short.
int64_t ReadPlain(const Recording& rec, const std::string& path, AlignedBuffer& streamBuffer,
                  AlignedBuffer& buffer) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return -1;
    std::setvbuf(file, reinterpret_cast<char*>(streamBuffer.data()), _IOFBF, streamBuffer.size());
    int64_t total = 0;
    for (const Chunk& chunk : rec.chunks) {
        const size_t size = static_cast<size_t>(chunk.size);
        if (std::fread(buffer.data(), 1, size, file) != size) {
            total = -1;
            break;
        }
        total += chunk.size;
        benchmark::DoNotOptimize(buffer.data());
    }
    std::fclose(file);
    return total;
}

// Opens the file as the player does (the index is read first) and reads every chunk. Payload
// bytes read, or -1 on a failure.
int64_t ReadAvi(const Recording& rec, const std::string& path, AlignedBuffer& buffer) {
    CAVIExtractor reader;
    OpenInfo info;
    if (reader.Open(path, &info) == 0)
        return -1;
    int64_t total = 0;
    char id[5] = {};
    for (size_t i = 0; i < rec.chunks.size(); ++i) {
        int32_t size = static_cast<int32_t>(buffer.size());
        if (reader.ReadChunk(id, buffer.data(), size) < 0)
            return -1;
        total += size;
        benchmark::DoNotOptimize(buffer.data());
    }
    reader.Close();
    return total;
}

void RemoveFile(const std::string& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    BenchFolder bench("avi_bench");
    if (!bench.Ok())
        return 1;
    const std::filesystem::path& folder = bench.Path();
    const std::string plainWritePath = (folder / "write_plain.bin").string();
    const std::string aviWritePath = (folder / "write.avi").string();
    const std::string plainReadPath = (folder / "read_plain.bin").string();
    const std::string aviReadPath = (folder / "read.avi").string();

    const Recording rec = MakeRecording();
    std::printf("data: %zu chunks, %lld payload bytes\n", rec.chunks.size(),
                static_cast<long long>(rec.payloadBytes));

    // The files the readers read.
    AlignedBuffer prepStreamBuffer(kStdioBufferSize);
    CAVIWriter prepWriter;
    SetUpWriter(prepWriter);
    if (!WritePlain(rec, plainReadPath, prepStreamBuffer) ||
        !WriteAvi(prepWriter, rec, aviReadPath)) {
        std::fprintf(stderr, "cannot write the input files in %s\n", folder.c_str());
        return 1;
    }

    ConfigureRepeated(
        benchmark::RegisterBenchmark("BM_PlainCopyWrite", [&](benchmark::State& state) {
            AlignedBuffer streamBuffer(kStdioBufferSize);
            for (auto _ : state) {
                if (!WritePlain(rec, plainWritePath, streamBuffer)) {
                    state.SkipWithError("plain write failed");
                    break;
                }
                // A fresh file each time, as a recording is; dropping the old one is not timed.
                state.PauseTiming();
                RemoveFile(plainWritePath);
                state.ResumeTiming();
            }
            state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * rec.payloadBytes);
        }));

    ConfigureRepeated(benchmark::RegisterBenchmark("BM_AviWrite", [&](benchmark::State& state) {
        CAVIWriter writer;
        SetUpWriter(writer);
        for (auto _ : state) {
            if (!WriteAvi(writer, rec, aviWritePath)) {
                state.SkipWithError("AVI write failed");
                break;
            }
            state.PauseTiming();
            RemoveFile(aviWritePath);
            state.ResumeTiming();
        }
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * rec.payloadBytes);
    }));

    ConfigureRepeated(
        benchmark::RegisterBenchmark("BM_PlainCopyRead", [&](benchmark::State& state) {
            AlignedBuffer streamBuffer(kStdioBufferSize);
            AlignedBuffer buffer(kPlainReadBufferSize);
            for (auto _ : state) {
                if (ReadPlain(rec, plainReadPath, streamBuffer, buffer) != rec.payloadBytes) {
                    state.SkipWithError("plain read failed");
                    break;
                }
            }
            state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * rec.payloadBytes);
        }));

    ConfigureRepeated(benchmark::RegisterBenchmark("BM_AviRead", [&](benchmark::State& state) {
        AlignedBuffer buffer(static_cast<size_t>(kPacketBufferSize));
        for (auto _ : state) {
            if (ReadAvi(rec, aviReadPath, buffer) != rec.payloadBytes) {
                state.SkipWithError("AVI read failed");
                break;
            }
        }
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * rec.payloadBytes);
    }));

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("write AVI/plain copy throughput", "BM_PlainCopyWrite", "BM_AviWrite");
    reporter.PrintRatio("read  AVI/plain copy throughput", "BM_PlainCopyRead", "BM_AviRead");
    benchmark::Shutdown();
    return 0;
}
