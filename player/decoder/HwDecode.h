#pragma once

#include <optional>
#include <string_view>

// The hardware decoding setting: "auto" tries VAAPI (Intel and AMD graphics) and then CUDA
// (NVIDIA's NVDEC), "vaapi" and "cuda" try that one only, "no" decodes in software without
// asking any device. Whatever the setting, a device that does not answer leaves decoding in
// software.
enum class HwDecode { kNo, kAuto, kVaapi, kCuda };

// The kinds of device the decoder can ask for, in the order "auto" asks them.
enum class HwDeviceKind { kVaapi, kCuda };

// "auto", "vaapi", "cuda" or "no" (ASCII case ignored); nothing for other text.
std::optional<HwDecode> ParseHwDecode(std::string_view text);
// The setting's word, as ParseHwDecode reads it.
std::string_view HwDecodeWord(HwDecode choice);
// The device kind's name as users know it: "VAAPI" or "CUDA".
std::string_view HwDeviceName(HwDeviceKind kind);
