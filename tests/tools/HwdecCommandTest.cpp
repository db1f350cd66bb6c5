// tatcard play and bench with --hwdec as a user runs them, on a dash-cam folder ffmpeg makes:
// where no device answers, one line says so and the recording decodes in software as before.
#include "TatcardProgram.h"
#include "tests/support/DashcamClips.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class HwdecCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        const TatcardRun check = RunTatcard("hwdec", m_scratch);
        ASSERT_EQ(check.status, 0) << check.err;
        m_check = check.out;
        if (check.out.find("=answers") != std::string::npos)
            GTEST_SKIP() << "a hardware device answers here:\n" << check.out;
        ClipSpec front;
        front.seconds = 2.0;
        ASSERT_TRUE(MakeClip(m_dir.File("BlackVue/Record/") + "20240305_090702_NF.mp4", front));
        m_folder = Quoted(m_dir.Path().string());
    }

    // The number after "HEAD frames=" on the figures line; -1 without one.
    static long Frames(const std::string& out, const std::string& head) {
        const std::string lead = head + " frames=";
        if (out.rfind(lead, 0) != 0)
            return -1;
        return std::strtol(out.c_str() + lead.size(), nullptr, 10);
    }

    TempDir m_dir;
    TempDir m_scratch;
    std::string m_folder;
    std::string m_check;
};

} // namespace

TEST_F(HwdecCommandTest, PlayWithVaapiAndNoDeviceSaysSoOnceAndPlaysEveryPicture) {
    const TatcardRun r = RunTatcard(
        "play " + m_folder + " 20240305_090702_N --null-audio --size 160x90 --hwdec vaapi",
        m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out), 1) << r.out;
    EXPECT_EQ(Frames(r.out, "play"), 60) << r.out;
    EXPECT_NE(r.out.find(" duration_ms=2000 "), std::string::npos) << r.out;
    // The sound's own line (no server in the test) would be told apart by its words.
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("tatview: no VAAPI device answered (hwdec vaapi); decoding in software"),
              std::string::npos)
        << r.err;
}

TEST_F(HwdecCommandTest, BenchWithCudaAndNoDeviceDecodesWhatSoftwareDecodes) {
    const TatcardRun software = RunTatcard("bench " + m_folder + " 20240305_090702_N", m_scratch);
    ASSERT_EQ(software.status, 0) << software.err;
    EXPECT_TRUE(software.err.empty()) << software.err; // no word without --hwdec

    const TatcardRun cuda =
        RunTatcard("bench " + m_folder + " 20240305_090702_N --hwdec cuda", m_scratch);
    ASSERT_EQ(cuda.status, 0) << cuda.err;
    EXPECT_GT(Frames(software.out, "bench"), 50) << software.out;
    EXPECT_EQ(Frames(cuda.out, "bench"), Frames(software.out, "bench")) << cuda.out;
    EXPECT_NE(cuda.out.find(" fps="), std::string::npos) << cuda.out;
    EXPECT_EQ(Lines(cuda.err), 1) << cuda.err;
    EXPECT_NE(cuda.err.find("no CUDA device answered"), std::string::npos) << cuda.err;

    const TatcardRun no =
        RunTatcard("bench " + m_folder + " 20240305_090702_N --hwdec no", m_scratch);
    ASSERT_EQ(no.status, 0);
    EXPECT_TRUE(no.err.empty()) << no.err;
}

TEST_F(HwdecCommandTest, TellsWhatFFmpegWasBuiltWithAndRefusesOtherWords) {
    EXPECT_EQ(m_check.rfind("hwdec compiled=", 0), 0u) << m_check;
    for (const char* line :
         {"\nhwdec h264=", "\nhwdec hevc=", "\nhwdec vaapi=no device", "\nhwdec cuda=no device"})
        EXPECT_NE(m_check.find(line), std::string::npos) << line << "\n" << m_check;
    std::printf("%s", m_check.c_str()); // for the log: what this machine's FFmpeg has

    const TatcardRun bad =
        RunTatcard("bench " + m_folder + " 20240305_090702_N --hwdec nvdec", m_scratch);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("--hwdec takes auto, vaapi, cuda or no"), std::string::npos) << bad.err;
}
