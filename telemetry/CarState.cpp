#include "CarState.h"

const char* CarGearName(CarGear gear) {
    switch (gear) {
    case CarGear::kPark:
        return "P";
    case CarGear::kDrive:
        return "D";
    case CarGear::kReverse:
        return "R";
    case CarGear::kNeutral:
        return "N";
    }
    return "";
}

const char* DriveAssistName(DriveAssist assist) {
    switch (assist) {
    case DriveAssist::kOff:
        return "off";
    case DriveAssist::kSelfDriving:
        return "self-driving";
    case DriveAssist::kAutosteer:
        return "autosteer";
    case DriveAssist::kCruise:
        return "cruise";
    }
    return "";
}
