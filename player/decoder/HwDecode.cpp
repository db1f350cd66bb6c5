#include "HwDecode.h"

#include "base/AsciiText.h"

std::optional<HwDecode> ParseHwDecode(std::string_view text) {
    for (const HwDecode choice :
         {HwDecode::kNo, HwDecode::kAuto, HwDecode::kVaapi, HwDecode::kCuda})
        if (ascii::EqualsIgnoreCase(text, HwDecodeWord(choice)))
            return choice;
    return std::nullopt;
}

std::string_view HwDecodeWord(HwDecode choice) {
    switch (choice) {
    case HwDecode::kAuto:
        return "auto";
    case HwDecode::kVaapi:
        return "vaapi";
    case HwDecode::kCuda:
        return "cuda";
    case HwDecode::kNo:
        break;
    }
    return "no";
}

std::string_view HwDeviceName(HwDeviceKind kind) {
    return kind == HwDeviceKind::kCuda ? "CUDA" : "VAAPI";
}
