// Camera storage speed:
//   listing a card of 10,000 recordings the way the recording list does (all four categories,
//   then sorted), against a budget of 100 ms;
//   reading every packet of a recording through CTATParser::Read, and through the
//   library directly, against a plain sequential read of the same file;
//   `tatcard export` of that recording to AVI against `cp` of its file (when tatcard is built).
#include "BenchSupport.h"
#include "base/AlignedBuffer.h"
#include "player/api/StreamKind.h"
#include "player/source/CTATParser.h"
#include "storage/CTATCardWriter.h"
#include "storage/CTATLibrary.h"
#include "storage/TatFormat.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kListedRecordings = 10000;
constexpr char kBigName[] = "REC_20240305_090000_D";

// A card whose continuous directory holds 10,000 closed recordings. The recording files are
// not needed for listing, so the directory is written directly.
bool MakeListingCard(const std::string& root) {
    if (!CTATCardWriter::CreateCard(root, "[blackbox]\r\ntat_update=0\r\n", nullptr))
        return false;
    std::vector<uint8_t> dir(tat::kDirHeaderSize + kListedRecordings * tat::kDirEntrySize);
    tat::EncodeDirHeader(1, dir.data());
    for (int i = 0; i < kListedRecordings; ++i) {
        tat::DirEntry entry;
        std::snprintf(entry.name, sizeof entry.name, "REC_2024%02d%02d_%02d%02d%02d_D",
                      1 + i / 3000, 1 + (i / 100) % 28, (i / 60) % 24, i % 60, (i * 7) % 60);
        entry.size = 50u * 1024 * 1024;
        entry.index = static_cast<uint32_t>(i);
        entry.state = tat::EntryState::Closed;
        entry.Encode(dir.data() + tat::kDirHeaderSize +
                     static_cast<size_t>(i) * tat::kDirEntrySize);
    }
    std::ofstream out(root + "/TATSTORE/REC.DIR", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(dir.data()), static_cast<std::streamsize>(dir.size()));
    return static_cast<bool>(out);
}

// What the recording list does for "all": every category's entries, then descending names.
size_t ListAll(CTATLibrary& library, uint8_t drive) {
    std::vector<std::string> names;
    for (int category = 0; category < tat::kCategoryCount; ++category) {
        const int32_t n = library.CountEntries(drive, category);
        if (n <= 0)
            continue;
        std::vector<char[40]> raw(static_cast<size_t>(n));
        std::vector<int64_t> sizes(raw.size());
        std::vector<int32_t> indexes(raw.size());
        const int32_t filled =
            library.ListEntries(drive, category, n, raw.data(), sizes.data(), indexes.data());
        for (int32_t i = 0; i < filled; ++i)
            if (sizes[static_cast<size_t>(i)] >= 524288)
                names.emplace_back(raw[static_cast<size_t>(i)]);
    }
    std::sort(names.begin(), names.end(), std::greater<>());
    return names.size();
}

// A two-channel recording of about 200 MB: 30 KB front and 10 KB rear frames at 30 fps with a
// key frame each second, audio blocks and telemetry lines as the camera writes them.
bool MakeBigRecording(const std::string& root) {
    if (!CTATCardWriter::CreateCard(root, "[blackbox]\r\n", nullptr))
        return false;
    CTATCardWriter writer(root);
    tat::InfoBlock info;
    info.channels = 2;
    info.frontFrameRate = 30;
    info.rearFrameRate = 30;
    info.frontWidth = 1280;
    info.frontHeight = 720;
    info.rearWidth = 640;
    info.rearHeight = 360;
    if (!writer.BeginRecording(kBigName, info))
        return false;
    std::vector<uint8_t> front(30000, 0x11);
    std::vector<uint8_t> rear(10000, 0x22);
    std::vector<uint8_t> audio(3840, 0x33);
    const uint8_t sensor[4] = {'M', 128, 128, 128};
    const std::string gps = "G$GPRMC,000702.000,A,3733.9600,N,12658.6740,E,10.0,45.0,050324,,,A";
    int audioBlocks = 0;
    const int frames = 4800;
    for (int f = 0; f < frames; ++f) {
        const uint8_t type = f % 30 == 0 ? tat::VideoKeyFrame : tat::VideoFrame;
        front[0] = static_cast<uint8_t>(f);
        bool ok = writer.AddPacket(type, 0, front.data(), static_cast<uint32_t>(front.size())) &&
                  writer.AddPacket(type, 1, rear.data(), static_cast<uint32_t>(rear.size()));
        while (ok && (audioBlocks + 1) * 240 <= (f + 1) * 1000 / 30) {
            ok = writer.AddPacket(tat::Audio, 0, audio.data(), static_cast<uint32_t>(audio.size()));
            ++audioBlocks;
        }
        if (ok && f % 3 == 0)
            ok = writer.AddPacket(tat::Text, 0, sensor, sizeof sensor);
        if (ok && f % 30 == 0)
            ok = writer.AddPacket(tat::Text, 0, reinterpret_cast<const uint8_t*>(gps.data()),
                                  static_cast<uint32_t>(gps.size()));
        if (!ok)
            return false;
    }
    return writer.FinishRecording();
}

// The reference: the file read from start to end in 64 KiB blocks, the block size that reads
// fastest here (larger blocks no longer fit the processor's cache).
constexpr size_t kSequentialBlock = 64 * 1024;

int64_t SequentialRead(const std::string& path, AlignedBuffer& buffer) {
    const size_t block = std::min(kSequentialBlock, buffer.size());
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int64_t total = 0;
    for (;;) {
        const ssize_t n = read(fd, buffer.data(), block);
        if (n <= 0)
            break;
        total += n;
    }
    close(fd);
    return total;
}

int64_t ParserReadAll(CTATLibrary& library, AlignedBuffer& buffer) {
    CTATParser parser(&library);
    parser.Start();
    OpenInfo info;
    parser.Open(kBigName, &info);
    int64_t total = 0;
    for (MediaPacket packet; parser.Read(buffer.data(), kPacketBufferSize, packet);)
        total += packet.size;
    parser.Close();
    parser.Stop();
    return total;
}

int64_t LibraryReadAll(CTATLibrary& library, AlignedBuffer& buffer) {
    library.SelectRecording(1, 0, library.RecordingNumberByName(1, kBigName));
    int64_t total = 0;
    for (;;) {
        uint8_t channel = 0, type = 0, flags = 0;
        uint32_t scratch = 0;
        int32_t size = kPacketBufferSize;
        if (library.ReadPacket(channel, type, flags, size, buffer.data(), scratch) != TatPacket)
            break;
        total += size;
    }
    return total;
}

int Run(const std::string& command) {
    return std::system(command.c_str());
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    BenchFolder folder("tat_bench");
    if (!folder.Ok())
        return 1;
    const std::string listingCard = folder.File("listing");
    const std::string card = folder.File("card");
    if (!MakeListingCard(listingCard) || !MakeBigRecording(card)) {
        std::fprintf(stderr, "cannot make the benchmark cards in %s\n", folder.Path().c_str());
        return 1;
    }
    const std::string recordingFile = card + "/TATSTORE/REC/" + kBigName + ".TRD";
    std::ifstream sizeProbe(recordingFile, std::ios::binary | std::ios::ate);
    const int64_t fileBytes = static_cast<int64_t>(sizeProbe.tellg());
    std::printf("recording: %lld bytes\n", static_cast<long long>(fileBytes));

    CTATLibrary listing(TatCardSource{listingCard, false, "", ""});
    const uint8_t listingDrive = listing.PollCardDrive();
    listing.MountCard();
    ConfigureRepeated(benchmark::RegisterBenchmark("BM_List10000", [&](benchmark::State& state) {
        for (auto _ : state)
            if (ListAll(listing, listingDrive) != kListedRecordings)
                state.SkipWithError("listing lost recordings");
    }));

    CTATLibrary library(TatCardSource{card, false, "", ""});
    library.PollCardDrive();
    library.MountCard();
    AlignedBuffer buffer(kPacketBufferSize);
    ConfigureRepeated(
        benchmark::RegisterBenchmark("BM_SequentialRead", [&](benchmark::State& state) {
            for (auto _ : state)
                if (SequentialRead(recordingFile, buffer) != fileBytes)
                    state.SkipWithError("short read");
            state.SetBytesProcessed(state.iterations() * fileBytes);
        }));
    ConfigureRepeated(
        benchmark::RegisterBenchmark("BM_LibraryReadPacket", [&](benchmark::State& state) {
            for (auto _ : state)
                benchmark::DoNotOptimize(LibraryReadAll(library, buffer));
            state.SetBytesProcessed(state.iterations() * fileBytes);
        }));
    ConfigureRepeated(benchmark::RegisterBenchmark("BM_ParserRead", [&](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(ParserReadAll(library, buffer));
        state.SetBytesProcessed(state.iterations() * fileBytes);
    }));

#ifdef TATCARD_PROGRAM
    // Both write a new file: the previous copy is removed untimed first, since replacing a
    // file of this size costs the two alike (freeing its blocks) and would hide the difference.
    const std::string out = folder.File("export.avi");
    const auto removeOut = [&out] { std::remove(out.c_str()); };
    const std::string copyCommand = "cp '" + recordingFile + "' '" + out + "'";
    const std::string exportCommand = std::string("'") + TATCARD_PROGRAM + "' export '" + card +
                                      "' " + kBigName + " '" + out + "' >/dev/null";
    const auto timedRuns = [&](benchmark::State& state, const std::string& command) {
        for (auto _ : state) {
            state.PauseTiming();
            removeOut();
            state.ResumeTiming();
            if (Run(command) != 0)
                state.SkipWithError("the command failed");
        }
    };
    ConfigureRepeated(benchmark::RegisterBenchmark(
        "BM_CopyFile", [&](benchmark::State& state) { timedRuns(state, copyCommand); }));
    ConfigureRepeated(benchmark::RegisterBenchmark(
        "BM_TatcardExport", [&](benchmark::State& state) { timedRuns(state, exportCommand); }));
#endif

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintMedian("listing 10,000 recordings (budget 100 ms)", "BM_List10000");
    reporter.PrintRatio("read  CTATParser::Read / sequential read", "BM_SequentialRead",
                        "BM_ParserRead");
    reporter.PrintRatio("read  library ReadPacket / sequential read", "BM_SequentialRead",
                        "BM_LibraryReadPacket");
#ifdef TATCARD_PROGRAM
    reporter.PrintRatio("export tatcard export / cp", "BM_CopyFile", "BM_TatcardExport");
#endif

    // The same comparisons again, alternating reference and subject round by round.
    constexpr int kRounds = 11;
    std::printf("paired ratio read  CTATParser::Read / sequential read = %.2fx (median of %d)\n",
                PairedRatio([&] { SequentialRead(recordingFile, buffer); },
                            [&] { ParserReadAll(library, buffer); }, kRounds),
                kRounds);
#ifdef TATCARD_PROGRAM
    std::printf(
        "paired ratio export tatcard export / cp = %.2fx (median of %d)\n",
        PairedRatio([&] { Run(copyCommand); }, [&] { Run(exportCommand); }, kRounds, removeOut),
        kRounds);
#endif
    benchmark::Shutdown();
    return 0;
}
