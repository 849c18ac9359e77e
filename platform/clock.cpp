#include "platform/clock.h"

SteadyClock::SteadyClock() {
    m_timer.start();
}

void SteadyClock::restart() {
    m_timer.restart();
}

qint64 SteadyClock::elapsedMs() const {
    return m_timer.elapsed();
}
