#pragma once

#include <cstdint>
#include <optional>

// What a car with built-in cameras records about itself with one video frame (its SEI
// message, telemetry/CarSeiReader.h), at the frame's time. Plain values, copied freely.
//
// Each field is empty when the message lacks it. The car leaves out fields that hold zero,
// so an empty driving value (speed, pedals, steering, signals, gear, assist) usually means
// zero; the position is empty unless both latitude and longitude are present and not both
// zero.

// The gear lever's position.
enum class CarGear { kPark, kDrive, kReverse, kNeutral };

// The driver-assist system's state.
enum class DriveAssist { kOff, kSelfDriving, kAutosteer, kCruise };

struct TimedCarState {
    int64_t timeMs = 0;                  // from the recording's first picture
    std::optional<uint64_t> frameNumber; // the car's own count of frames
    std::optional<double> speedMps;      // metres per second
    std::optional<CarGear> gear;
    std::optional<double> acceleratorPercent; // 0 to 100
    std::optional<bool> brake;                // the brake pedal is pressed
    std::optional<double> steeringDegrees;    // the steering wheel's angle
    std::optional<bool> blinkerLeft;
    std::optional<bool> blinkerRight;
    std::optional<DriveAssist> assist;
    std::optional<double> latitude;  // decimal degrees, north positive
    std::optional<double> longitude; // decimal degrees, east positive
    std::optional<double> heading;   // degrees clockwise from north
    std::optional<double> accelX;    // m/s², along the car's axes
    std::optional<double> accelY;
    std::optional<double> accelZ;

    bool HasPosition() const { return latitude.has_value() && longitude.has_value(); }
};

// "P", "D", "R", "N".
const char* CarGearName(CarGear gear);
// "off", "self-driving", "autosteer", "cruise".
const char* DriveAssistName(DriveAssist assist);
