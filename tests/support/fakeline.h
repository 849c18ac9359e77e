#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <functional>
#include <utility>

#include "platform/clock.h"
#include "platform/serialport.h"

// The checksum request, and the reply to it from a zero image; a block write's reply.
inline const QByteArray ChecksumFrame = "[0A003F00000023F]";
inline const QByteArray ZeroChecksumReply = "[34DA90190E]";
inline const QByteArray BlockWrittenReply = "[F500]";
// The checksum request under a wrong checksum; the reads of the first and the key block.
inline const QByteArray BadSumChecksumFrame = "[0B003F00000023F]";
inline const QByteArray FirstBlockReadFrame = "[6E0039000003F]";
inline const QByteArray KeyBlockReadFrame = "[1E0039002003F]";

// A clock that moves only when told to (or when the fake line waits).
class FakeClock final : public TimeoutClock {
public:
    void restart() override {
        m_start = m_now;
        ++restarts;
    }
    qint64 elapsedMs() const override { return m_now - m_start; }
    qint64 now() const { return m_now; }
    void advance(qint64 ms) { m_now += ms; }

    int restarts = 0;

private:
    qint64 m_now = 0;
    qint64 m_start = 0;
};

// Bytes the far end sends, afterMs after the frame that caused them was written.
struct Arrival {
    qint64 afterMs = 0;
    QByteArray bytes;
};

// The far end of a serial line, scripted per written frame, on the fake clock. Waiting
// moves the clock to the next arrival or by the whole wait.
class FakeLine final : public SerialPort {
public:
    using Responder = std::function<QList<Arrival>(const QByteArray& frame, int index)>;

    explicit FakeLine(FakeClock& clock) : m_clock(clock) {}

    void setResponder(Responder responder) { m_responder = std::move(responder); }
    // Bytes already in the receive buffer, as if they had come in unasked.
    void arriveNow(const QByteArray& bytes) { m_buffer += bytes; }
    // The line breaks: nothing more comes, and every wait fails at once.
    void hangUp() {
        m_failed = true;
        m_pending.clear();
    }

    bool open(int portNumber) override {
        opens << portNumber;
        if (portExists) {
            m_open = true;
            m_failed = false;
        }
        return portExists;
    }
    OpenFailure openFailure() const override {
        return portExists ? OpenFailure{} : OpenFailure{OpenFailure::NoSuchPort, {}};
    }
    void close() override {
        ++closes;
        m_open = false;
    }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray& bytes) override {
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
        for (const Arrival& arrival : m_responder ? m_responder(bytes, index) : QList<Arrival>{}) {
            if (!m_failed) {
                m_pending[m_clock.now() + arrival.afterMs] += arrival.bytes;
            }
        }
        return true;
    }
    qint64 bytesWaiting() override {
        m_clock.advance(bytesWaitingCostMs);
        deliverDue();
        return m_buffer.size();
    }
    QByteArray takeAll() override {
        deliverDue();
        return std::exchange(m_buffer, {});
    }
    void discardInput() override {
        deliverDue();
        m_buffer.clear();
    }
    bool waitForMore(int ms, qint64 missing) override {
        ++waits;
        missingAsked << missing;
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
    bool failed() const override { return m_failed; }

    // Script and record.
    bool portExists = true;
    int failWriteAt = -1; // 0-based index of the frame whose write fails
    qint64 bytesWaitingCostMs = 0;
    QList<QByteArray> frames;
    QList<int> opens;
    int closes = 0;
    int waits = 0;
    QList<qint64> missingAsked;             // what each wait was told was still to come
    std::function<void(int index)> onWrite; // runs before the frame is answered

private:
    void deliverDue() {
        while (!m_pending.isEmpty() && m_pending.firstKey() <= m_clock.now()) {
            m_buffer += m_pending.take(m_pending.firstKey());
        }
    }

    FakeClock& m_clock;
    Responder m_responder;
    QMap<qint64, QByteArray> m_pending; // absolute time -> bytes
    QByteArray m_buffer;
    bool m_open = false;
    bool m_failed = false;
};
