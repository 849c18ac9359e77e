#pragma once

#include <QElapsedTimer>

// The clock the reply time-out is measured on: restarted when a frame has been written,
// read while waiting for the reply.
class TimeoutClock {
public:
    virtual ~TimeoutClock() = default;
    virtual void restart() = 0;
    // Milliseconds since the last restart.
    virtual qint64 elapsedMs() const = 0;
};

// Monotonic milliseconds.
class SteadyClock final : public TimeoutClock {
public:
    SteadyClock();
    void restart() override;
    qint64 elapsedMs() const override;

private:
    QElapsedTimer m_timer;
};
