#pragma once

#include <chrono>
#include <vector>

#include "nc-sim/controller.h"

// A USB serial adapter between the controller's line and the computer, as the common ones
// hand over what they receive: a full packet of 62 bytes at the next 1 ms USB frame, else
// whatever waits when the latency timer runs out. The timer runs freely, latencyMs at a
// time, and starts again at every hand-over; hand-overs ride on USB frames.
class UsbAdapter {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int PacketBytes = 62;
    static constexpr std::chrono::milliseconds Frame{1};

    // latencyMs 0: no adapter, every byte reaches the computer as it arrives. timerStart is
    // a moment the timer ran out (its phase), on a USB frame.
    UsbAdapter(int latencyMs, Clock::time_point timerStart);

    // The pieces as they reach the computer, from the pieces as they arrive at the adapter
    // (each piece's bytes at its due time). A piece held back for the client goes on as it
    // is, after what waits before it.
    std::vector<LinePiece> handOver(const std::vector<LinePiece>& arrivals);

private:
    // The first moment the timer runs out at or after t.
    Clock::time_point timerAt(Clock::time_point t) const;
    // The first USB frame at or after t, never before the last hand-over.
    Clock::time_point frameAt(Clock::time_point t) const;

    std::chrono::milliseconds m_latency;
    Clock::time_point m_frameStart;
    Clock::time_point m_timerStart; // the last hand-over, or the timer's phase
};
