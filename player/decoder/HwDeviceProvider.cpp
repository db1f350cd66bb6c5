#include "HwDeviceProvider.h"

#include "FFmpegHwDevice.h"

#include <cstdio>
#include <string>
#include <vector>

HwDeviceProvider::HwDeviceProvider(HwDecode choice, Notice notice, Factory factory)
    : m_choice(choice), m_notice(std::move(notice)),
      m_factory(factory ? std::move(factory) : Factory(&FFmpegHwDevice::Create)) {}

HwDeviceProvider::Notice HwDeviceProvider::ToStream(std::FILE* stream) {
    if (stream == nullptr)
        return {};
    return [stream](std::string_view line) {
        std::fprintf(stream, "%.*s\n", static_cast<int>(line.size()), line.data());
        std::fflush(stream);
    };
}

void HwDeviceProvider::Say(const std::string& line) {
    if (m_spoken)
        return;
    m_spoken = true;
    if (m_notice)
        m_notice(line);
}

std::shared_ptr<HwDevice> HwDeviceProvider::Acquire() {
    std::lock_guard lock(m_lock);
    if (m_asked || m_choice == HwDecode::kNo)
        return m_device;
    m_asked = true;
    std::vector<HwDeviceKind> kinds;
    if (m_choice == HwDecode::kAuto || m_choice == HwDecode::kVaapi)
        kinds.push_back(HwDeviceKind::kVaapi);
    if (m_choice == HwDecode::kAuto || m_choice == HwDecode::kCuda)
        kinds.push_back(HwDeviceKind::kCuda);
    std::string tried;
    for (const HwDeviceKind kind : kinds) {
        m_device = m_factory(kind);
        if (m_device)
            return m_device;
        tried += (tried.empty() ? "" : " or ") + std::string(HwDeviceName(kind));
    }
    Say("tatview: no " + tried + " device answered (hwdec " + std::string(HwDecodeWord(m_choice)) +
        "); decoding in software");
    return nullptr;
}

void HwDeviceProvider::Failed(const HwDevice& device) {
    std::lock_guard lock(m_lock);
    if (m_device.get() != &device)
        return;
    Say("tatview: " + std::string(HwDeviceName(device.Kind())) +
        " decoding failed during playback; decoding in software from here");
    m_device.reset();
}
