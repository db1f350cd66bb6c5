#pragma once

#include "HwDecode.h"
#include "HwDevice.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

// Hands the decoders of one player the hardware device of the setting, opened once and
// shared by every channel and recording, and says in one line when decoding stays in
// software.
//
// The device is asked for on the first Acquire: "auto" asks VAAPI and then CUDA, "vaapi" and
// "cuda" that one, "no" none. When none answers, one notice says so and every Acquire gives
// null (software). When a device fails during playback (Failed), one notice says so and it is
// not handed out again: a device that failed once is not trusted with later recordings.
// At most one notice is given in the provider's life.
//
// Owns the device (shared with the decoders that decode on it) and the factory.
//
// Threads: any; one lock serialises the calls. The notice is called with the lock held.
class HwDeviceProvider {
public:
    // Makes a device of that kind; null when none answers.
    using Factory = std::function<std::shared_ptr<HwDevice>(HwDeviceKind kind)>;
    // Receives one line of text, without its line break.
    using Notice = std::function<void(std::string_view line)>;

    // factory: FFmpegHwDevice::Create when empty. notice: null keeps quiet.
    HwDeviceProvider(HwDecode choice, Notice notice, Factory factory = {});
    HwDeviceProvider(const HwDeviceProvider&) = delete;
    HwDeviceProvider& operator=(const HwDeviceProvider&) = delete;

    HwDecode Choice() const { return m_choice; }
    // The device to decode on; null for software.
    std::shared_ptr<HwDevice> Acquire();
    // A decoder's picture failed on `device`: it is not handed out again.
    void Failed(const HwDevice& device);

    // A notice that writes each line to the stream (standard error in the programs).
    static Notice ToStream(std::FILE* stream);

private:
    void Say(const std::string& line);

    const HwDecode m_choice;
    const Notice m_notice;
    const Factory m_factory;
    std::mutex m_lock;
    std::shared_ptr<HwDevice> m_device; // guarded by m_lock
    bool m_asked = false;               // guarded by m_lock: the factory was asked
    bool m_spoken = false;              // guarded by m_lock: the notice was given
};
