#include "CGSensorData.h"

CGSensorData::CGSensorData(uint8_t rawX, uint8_t rawY, uint8_t rawZ, int32_t user)
    : x(FromRaw(rawX)), y(FromRaw(rawY)), z(FromRaw(rawZ)), userValue(user) {}
