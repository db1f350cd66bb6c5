#include "RouteGate.h"

#include "telemetry/CGPSData.h"

bool RouteGate::Draw(const CGPSData& fix, const GeoPoint& position, int64_t playMs) {
    if (!(m_judged && *m_judged == position)) {
        m_judged = position;
        m_onRoute = m_filter.Accept(fix, playMs);
    }
    return m_onRoute;
}

void RouteGate::Reset() {
    m_filter.Reset();
    m_judged.reset();
    m_onRoute = false;
}
