#include "nc-sim/usbadapter.h"

#include <algorithm>
#include <utility>

UsbAdapter::UsbAdapter(int latencyMs, Clock::time_point timerStart)
    : m_latency(latencyMs), m_frameStart(timerStart), m_timerStart(timerStart) {}

UsbAdapter::Clock::time_point UsbAdapter::timerAt(Clock::time_point t) const {
    if (t <= m_timerStart) {
        return m_timerStart + m_latency;
    }
    const auto periods = (t - m_timerStart + m_latency - std::chrono::nanoseconds(1)) / m_latency;
    return m_timerStart + periods * m_latency;
}

UsbAdapter::Clock::time_point UsbAdapter::frameAt(Clock::time_point t) const {
    Clock::time_point frame = m_frameStart;
    if (t > m_frameStart) {
        frame += (t - m_frameStart + Frame - std::chrono::nanoseconds(1)) / Frame * Frame;
    }
    return std::max(frame, m_timerStart);
}

std::vector<LinePiece> UsbAdapter::handOver(const std::vector<LinePiece>& arrivals) {
    if (m_latency.count() == 0) {
        return arrivals;
    }
    std::vector<LinePiece> out;
    LinePiece waiting; // in the adapter, not handed over yet
    Clock::time_point last{};
    const auto handOverAt = [&](Clock::time_point at) {
        waiting.due = at;
        out.push_back(std::exchange(waiting, {}));
        m_timerStart = at;
    };
    const auto addLog = [](QString& to, const QString& line) {
        to += (to.isEmpty() || line.isEmpty() ? QString() : QStringLiteral("\n")) + line;
    };
    for (const LinePiece& piece : arrivals) {
        // The timer runs out before this piece comes, or before the client can take it.
        if (!waiting.bytes.isEmpty() && (timerAt(last) < piece.due || piece.afterClientRead)) {
            handOverAt(timerAt(last));
        }
        if (piece.afterClientRead) {
            LinePiece held = piece;
            held.due = std::max(piece.due, m_timerStart);
            out.push_back(std::move(held));
            continue;
        }
        for (const char c : piece.bytes) {
            waiting.bytes += c;
            if (waiting.bytes.size() == PacketBytes) {
                handOverAt(frameAt(piece.due));
            }
        }
        last = piece.due;
        addLog(waiting.bytes.isEmpty() ? out.back().logLine : waiting.logLine, piece.logLine);
    }
    if (!waiting.bytes.isEmpty()) {
        handOverAt(timerAt(last));
    }
    return out;
}
