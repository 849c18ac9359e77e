#include "link/exchange.h"

#include "link/protocol.h"
#include "platform/clock.h"
#include "platform/serialport.h"
#include "table/hextext.h"

namespace {

// Characters from 1-based position pos on, or nothing when the reply is shorter.
QByteArrayView from(QByteArrayView reply, qsizetype pos) {
    return pos <= reply.size() ? reply.sliced(pos - 1) : QByteArrayView();
}

} // namespace

Exchange::Exchange(SerialPort& port, TimeoutClock& clock, ModBrevane& mod)
    : m_port(port), m_clock(clock), m_mod(mod) {}

bool Exchange::SendCommand(QByteArrayView cmd, int replyLen) {
    const qint64 limit = m_timeoutMs;
    m_port.discardInput();
    const QByteArray frame = commandFrame(cmd);
    // Bytes that came in while the frame was built belong to no reply of ours either.
    m_port.discardInput();
    if (!m_port.write(frame)) {
        return false;
    }
    m_clock.restart();
    for (;;) {
        const qint64 waiting = m_port.bytesWaiting();
        if (waiting >= replyLen) {
            break;
        }
        const qint64 elapsed = m_clock.elapsedMs();
        if (elapsed >= limit) {
            break;
        }
        const qint64 wait =
            m_idle ? qMin<qint64>(limit - elapsed, IdleIntervalMs) : limit - elapsed;
        if (!m_port.waitForMore(static_cast<int>(wait), replyLen - waiting) && m_port.failed()) {
            return false;
        }
        if (m_idle) {
            m_idle();
        }
    }
    // This reading decides, even when the reply is complete.
    if (m_clock.elapsedMs() >= limit) {
        return false;
    }
    m_mod.LastReply = m_port.takeAll();
    return replyChecksumHolds(m_mod.LastReply);
}

void decodeBlockReply(QByteArrayView reply, int block, CnfTable& cnf) {
    if (block < 0 || block >= ImageBlocks) {
        return;
    }
    const bool keyBlock = block == ImageBlocks - 1;
    for (int k = 0; k < BlockBytes; ++k) {
        const int slot = keyBlock ? k : block * 8 + k / 8;
        const int field = keyBlock ? int(KeyChar) : k % 8;
        cnf[cnfOffset(slot, field)] = static_cast<std::uint8_t>(HexVal2(from(reply, 4 + 2 * k)));
    }
}

ChecksumHalves decodeChecksumReply(QByteArrayView reply) {
    ChecksumHalves halves;
    halves.high = HexVal4(from(reply, 4));
    halves.low = HexVal4(from(reply, 8));
    return halves;
}
