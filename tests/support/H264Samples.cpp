#include "H264Samples.h"

#include "TempDir.h"
#include "formats/AnnexB.h"

#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

namespace {

// `source` is a lavfi graph that ends in a video of the size and rate asked for.
const AccessUnits& Encode(const std::string& source, int width, int height, int frames, int fps) {
    static std::mutex mutex;
    static std::map<std::tuple<std::string, int, int, int, int>, AccessUnits> cache;
    std::lock_guard lock(mutex);
    AccessUnits& units = cache[{source, width, height, frames, fps}];
    if (units.empty()) {
        TempDir dir;
        const std::string out = dir.File("sample.h264");
        const std::string command = "ffmpeg -nostdin -v error -f lavfi -i '" + source +
                                    "' -frames:v " + std::to_string(frames) +
                                    " -c:v libx264 -pix_fmt yuv420p -g " + std::to_string(fps) +
                                    " -bf 0 -x264-params aud=1 -f h264 '" + out + "' 2>&1";
        std::string log;
        const int status = RunCommand(command, &log);
        EXPECT_EQ(status, 0) << "ffmpeg could not make test video: " << log;
        const std::vector<uint8_t> stream = ReadFileBytes(out);
        units = SplitAccessUnits(stream.data(), stream.size());
        EXPECT_EQ(units.size(), static_cast<size_t>(frames));
    }
    return units;
}

std::string SizeAndRate(int width, int height, int fps) {
    return "size=" + std::to_string(width) + "x" + std::to_string(height) +
           ":rate=" + std::to_string(fps);
}

} // namespace

const AccessUnits& H264Samples(int width, int height, int frames, int fps) {
    return Encode("testsrc=" + SizeAndRate(width, height, fps), width, height, frames, fps);
}

const AccessUnits& H264Gradient(int width, int height, int frames, int fps) {
    return Encode("nullsrc=" + SizeAndRate(width, height, fps) +
                      ",format=yuv420p,geq=lum=50+130*X/W:cb=128:cr=128+40*Y/H",
                  width, height, frames, fps);
}

Bgr GradientBgr(int x, int y, int width, int height) {
    const double luma = 1.164 * (50 + 130 * x / width - 16);
    const double cr = 40 * (y / 2) / (height / 2);
    return {luma, luma - 0.813 * cr, luma + 1.596 * cr};
}
