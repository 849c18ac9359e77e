#include "tests/support/fakeline.h"

bool FakeLine::open(int portNumber) {
    opens << portNumber;
    if (portExists) {
        m_open = true;
        m_failed = false;
    }
    return portExists;
}

bool FakeLine::write(const QByteArray& bytes) {
    if (!m_open || m_failed) {
        return false;
    }
    const int index = int(frames.size());
    frames << bytes;
    if (onWrite) {
        onWrite(index);
    }
    if (index == failWriteAt) {
        m_failed = true;
        return false;
    }
    const QList<Arrival> arrivals = m_responder ? m_responder(bytes, index) : QList<Arrival>{};
    for (const Arrival& arrival : arrivals) {
        if (!m_failed) {
            m_pending[m_clock.now() + arrival.afterMs] += arrival.bytes;
        }
    }
    return true;
}

qint64 FakeLine::bytesWaiting() {
    m_clock.advance(bytesWaitingCostMs);
    deliverDue();
    return m_buffer.size();
}

QByteArray FakeLine::takeAll() {
    deliverDue();
    QByteArray all;
    all.swap(m_buffer);
    return all;
}

void FakeLine::discardInput() {
    deliverDue();
    discarded += m_buffer.size();
    m_buffer.clear();
}

bool FakeLine::waitForMore(int ms) {
    ++waits;
    if (m_failed) {
        return false;
    }
    deliverDue();
    const qint64 deadline = m_clock.now() + ms;
    if (!m_pending.isEmpty() && m_pending.firstKey() <= deadline) {
        m_clock.advance(m_pending.firstKey() - m_clock.now());
        deliverDue();
        return true;
    }
    m_clock.advance(ms);
    return false;
}

void FakeLine::deliverDue() {
    while (!m_pending.isEmpty() && m_pending.firstKey() <= m_clock.now()) {
        m_buffer += m_pending.take(m_pending.firstKey());
    }
}
