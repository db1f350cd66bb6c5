#include "player/audio/AudioOutputFactory.h"
#include "player/audio/CNullAudio.h"
#include "player/audio/CPulseAudio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

// Points the sound client at a socket nobody listens on, for the life of the object.
class NoSoundServer {
public:
    NoSoundServer() {
        if (const char* old = std::getenv("PULSE_SERVER"))
            m_old = old;
        setenv("PULSE_SERVER", "unix:/nonexistent/tatview-test/native", 1);
    }
    ~NoSoundServer() {
        if (m_old)
            setenv("PULSE_SERVER", m_old->c_str(), 1);
        else
            unsetenv("PULSE_SERVER");
    }
    NoSoundServer(const NoSoundServer&) = delete;
    NoSoundServer& operator=(const NoSoundServer&) = delete;

private:
    std::optional<std::string> m_old;
};

} // namespace

TEST(AudioOutputFactory, WithoutAServerAutoFallsBackToTheNullDeviceAndSaysSoOnce) {
    NoSoundServer noServer;
    std::vector<std::string> lines;
    const AudioOutputFactory factory([&lines](std::string_view line) { lines.emplace_back(line); });

    const auto output = factory.Make(AudioOutputFactory::Choice::Auto);
    ASSERT_NE(dynamic_cast<CNullAudio*>(output.get()), nullptr);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], AudioOutputFactory::kNoServerLine);

    // The fallback keeps the recording's pace.
    ASSERT_TRUE(output->Open(16, 8000));
    const std::vector<uint8_t> block(VAudio::kBlockBytes);
    output->Write(block.data(), VAudio::kBlockBytes);
    EXPECT_GT(output->QueuedMicros(), 100'000);
}

TEST(AudioOutputFactory, TheNoticeLineGoesToTheGivenStream) {
    NoSoundServer noServer;
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    const auto output = AudioOutputFactory(stream).Make(AudioOutputFactory::Choice::Auto);
    EXPECT_NE(dynamic_cast<CNullAudio*>(output.get()), nullptr);

    std::rewind(stream);
    char text[256] = {};
    const size_t got = std::fread(text, 1, sizeof text - 1, stream);
    std::fclose(stream);
    EXPECT_EQ(std::string(text, got), std::string(AudioOutputFactory::kNoServerLine) + "\n");
}

TEST(AudioOutputFactory, ForcedChoicesAskNothingAndSayNothing) {
    NoSoundServer noServer;
    int notices = 0;
    const AudioOutputFactory factory([&notices](std::string_view) { ++notices; });

    EXPECT_NE(dynamic_cast<CNullAudio*>(factory.Make(AudioOutputFactory::Choice::Null).get()),
              nullptr);
    const auto pulse = factory.Make(AudioOutputFactory::Choice::Pulse);
    ASSERT_NE(dynamic_cast<CPulseAudio*>(pulse.get()), nullptr);
    EXPECT_EQ(notices, 0);

    // With no server the forced output cannot open, and then never holds up its writer.
    EXPECT_FALSE(pulse->Open(16, 8000));
    const std::vector<uint8_t> block(VAudio::kBlockBytes);
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < 4; ++i)
        pulse->Write(block.data(), VAudio::kBlockBytes);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(100));
    EXPECT_EQ(pulse->QueuedMicros(), 0);
    EXPECT_EQ(pulse->Close(), 1);
}
