#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <functional>

#include "table/modbrevane.h"

class SerialPort;
class TimeoutClock;

// How long a reply may take, on the time-out clock.
constexpr int ReplyTimeoutMs = 5000;
// The longest a waiting exchange goes without calling its idle step, on the same clock.
constexpr int IdleIntervalMs = 50;

// One framed command and its checksummed reply, over an open port. The reply is kept in
// the shared LastReply.
class Exchange {
public:
    Exchange(SerialPort& port, TimeoutClock& clock, ModBrevane& mod);

    SerialPort& port() { return m_port; }
    ModBrevane& mod() { return m_mod; }

    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    // Called after each wait on the line while a reply is awaited, at least every
    // IdleIntervalMs: a window keeps its paint and system messages served through it.
    void setIdle(std::function<void()> idle) { m_idle = std::move(idle); }

    // Flushes stale input, writes the framed command and waits, blocking on the port,
    // until replyLen characters are waiting or the time-out has run out. The clock read
    // after the wait decides: at the limit the exchange has timed out and LastReply is
    // kept. Otherwise everything waiting becomes LastReply, whatever its length, and its
    // checksum decides. A broken line counts as no reply.
    bool SendCommand(QByteArrayView cmd, int replyLen);

private:
    SerialPort& m_port;
    TimeoutClock& m_clock;
    ModBrevane& m_mod;
    int m_timeoutMs = ReplyTimeoutMs;
    std::function<void()> m_idle;
};

// Reading replies. Positions past the end of a reply read as no digits (value 0).

// Stores the 64 data bytes of a block-read reply (characters 4 to 131, two hex digits
// each, in image order) into the table. Block 8 is the key block (field 8 of every slot).
void decodeBlockReply(QByteArrayView reply, int block, CnfTable& cnf);

// The controller's image checksum from a checksum reply: characters 4-7 the high half,
// 8-11 the low half.
struct ChecksumHalves {
    std::int32_t high = 0;
    std::int32_t low = 0;
};
ChecksumHalves decodeChecksumReply(QByteArrayView reply);
