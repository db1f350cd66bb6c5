#pragma once

#include <cstdint>

// One G-sensor sample: the acceleration on three axes. A raw byte b (0 to 255) reads as
// 128 - b: raw 128 is 0, raw 0 is +128, raw 255 is -127.
class CGSensorData {
public:
    CGSensorData() = default;
    CGSensorData(uint8_t rawX, uint8_t rawY, uint8_t rawZ, int32_t userValue);
    virtual ~CGSensorData() = default;
    CGSensorData(const CGSensorData&) = default;
    CGSensorData& operator=(const CGSensorData&) = default;

    // The camera's units per g: the sensor spans about ±2 g in the raw byte.
    static constexpr double kUnitsPerG = 64.0;

    // The acceleration of one raw byte.
    static int32_t FromRaw(uint8_t raw) { return static_cast<int32_t>(~raw & 0xFF) - 127; }

    int32_t x = 0;
    int32_t y = 0;
    int32_t z = 0;
    int32_t userValue = 0; // always 0 in this program; never read
};
