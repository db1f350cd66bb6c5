#include "GpsTrack.h"

#include "telemetry/NmeaChecksum.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

struct LatLon {
    double lat;
    double lon;
};

// City Hall, Sejongno crossing, Jonggak, Jongno 3-ga, Jongno 5-ga, Dongdaemun, Dongdaemun
// History & Culture Park, Euljiro 4-ga, Euljiro 1-ga (then back to City Hall).
constexpr LatLon kLoop[] = {
    {37.5660, 126.9779}, {37.5706, 126.9769}, {37.5702, 126.9830},
    {37.5705, 126.9920}, {37.5709, 127.0020}, {37.5712, 127.0094},
    {37.5664, 127.0090}, {37.5667, 126.9980}, {37.5660, 126.9822},
};

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegreeLat = 110980.0;

double MetresPerDegreeLon(double lat) {
    return 111320.0 * std::cos(lat * kPi / 180.0);
}

// ddmm.mmmm (or dddmm.mmmm) of a non-negative angle, rounded to 1/10000 minute.
std::string NmeaAngle(double degrees, int degreeDigits) {
    const auto units = static_cast<long long>(std::llround(std::fabs(degrees) * 600000.0));
    const long long whole = units / 600000;
    const long long minutes = units % 600000 / 10000;
    const long long fraction = units % 10000;
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld%02lld.%04lld", degreeDigits, whole, minutes, fraction);
    return text;
}

} // namespace

std::string RmcSentence(const CivilTime& utc, int milliseconds, const GpsFix* fix) {
    char head[48];
    std::snprintf(head, sizeof head, "GPRMC,%02d%02d%02d.%03d,", utc.hour, utc.minute, utc.second,
                  milliseconds);
    char date[16];
    std::snprintf(date, sizeof date, "%02d%02d%02d", utc.day, utc.month, utc.year % 100);
    std::string body = head;
    if (fix == nullptr) {
        body += std::string("V,,,,,,,") + date + ",,,N";
    } else {
        char motion[48];
        std::snprintf(motion, sizeof motion, ",%.1f,%.1f,", fix->speedKmh / 1.852, fix->course);
        body += "A," + NmeaAngle(fix->latitude, 2) + (fix->latitude < 0 ? ",S," : ",N,") +
                NmeaAngle(fix->longitude, 3) + (fix->longitude < 0 ? ",W" : ",E") + motion + date +
                ",,,A";
    }
    return nmea::WithChecksum(body);
}

CCityLoop::CCityLoop() {
    for (int i = 0; i < kPoints; ++i) {
        const LatLon& a = kLoop[i];
        const LatLon& b = kLoop[(i + 1) % kPoints];
        const double dy = (b.lat - a.lat) * kMetresPerDegreeLat;
        const double dx = (b.lon - a.lon) * MetresPerDegreeLon(a.lat);
        m_segment[i] = std::hypot(dx, dy);
        m_length += m_segment[i];
    }
}

GpsFix CCityLoop::At(double distance) const {
    double d = std::fmod(distance, m_length);
    if (d < 0)
        d += m_length;
    int i = 0;
    while (i < kPoints - 1 && d >= m_segment[i]) {
        d -= m_segment[i];
        ++i;
    }
    const LatLon& a = kLoop[i];
    const LatLon& b = kLoop[(i + 1) % kPoints];
    const double part = m_segment[i] > 0 ? std::min(d / m_segment[i], 1.0) : 0.0;
    GpsFix fix;
    fix.latitude = a.lat + (b.lat - a.lat) * part;
    fix.longitude = a.lon + (b.lon - a.lon) * part;
    const double dy = (b.lat - a.lat) * kMetresPerDegreeLat;
    const double dx = (b.lon - a.lon) * MetresPerDegreeLon(a.lat);
    double course = std::atan2(dx, dy) * 180.0 / kPi;
    if (course < 0)
        course += 360.0;
    fix.course = course;
    return fix;
}

double DriveSpeed(uint32_t variant, int second) {
    const double phase = static_cast<double>(variant % 97) * 0.61;
    const double t = static_cast<double>(second);
    const double v = 38.0 + 42.0 * std::sin(2.0 * kPi * t / 41.0 + phase) +
                     9.0 * std::sin(2.0 * kPi * t / 11.0 + 2.0 * phase);
    return std::clamp(v, 0.0, 80.0);
}
