// Reply checking: the real SendCommand over a line that answers with the fuzz input,
// and replyChecksumHolds on its own. A reply is accepted exactly when it carries its
// checksum, and LastReply is what came in, or what it was when the reply stayed short.

#include <QByteArray>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "link/exchange.h"
#include "link/protocol.h"
#include "platform/clock.h"
#include "platform/serialport.h"
#include "tests/fuzz/reference.h"

namespace {

class ManualClock final : public TimeoutClock {
public:
    void restart() override { m_start = m_now; }
    qint64 elapsedMs() const override { return m_now - m_start; }
    void advance(qint64 ms) { m_now += ms; }

private:
    qint64 m_now = 0;
    qint64 m_start = 0;
};

// Holds a stale reply until the frame goes out; then the first half of the answer is
// waiting and the rest comes with the first wait. A stale reply still waiting when the
// frame goes out would have been taken for the answer: the exchange must drop it first.
class AnsweringLine final : public SerialPort {
public:
    AnsweringLine(ManualClock& clock, QByteArray answer)
        : m_clock(clock), m_answer(std::move(answer)) {}

    bool open(int) override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray& bytes) override {
        written += bytes;
        m_buffer += m_answer.first(m_answer.size() / 2);
        m_rest = m_answer.sliced(m_answer.size() / 2);
        return true;
    }
    qint64 bytesWaiting() override { return m_buffer.size(); }
    QByteArray takeAll() override {
        taken += m_buffer;
        return std::exchange(m_buffer, {});
    }
    void discardInput() override { m_buffer.clear(); }
    bool waitForMore(int ms) override {
        if (!m_rest.isEmpty()) {
            m_buffer += std::exchange(m_rest, {});
            m_clock.advance(1);
            return true;
        }
        m_clock.advance(ms);
        return false;
    }
    bool failed() const override { return false; }

    QByteArray written;
    QByteArray taken; // everything the exchange took off the line

private:
    ManualClock& m_clock;
    QByteArray m_answer;
    QByteArray m_buffer = "[34DA90190E]"; // stale: a good reply to an earlier command
    QByteArray m_rest;
    bool m_open = true;
};

struct Case {
    const char* command;
    int replyLength;
};
constexpr std::array<Case, 3> Cases{{
    {"3F00000023F", ChecksumReplyLength},
    {"39002003F", BlockReadReplyLength},
    {"38000003F", BlockWriteReplyLength},
}};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const bool carries = reference::carriesChecksum(reply);
    FUZZ_REQUIRE(replyChecksumHolds(reply) == carries, "replyChecksumHolds agrees");

    const QByteArray previous = "previous reply";
    for (const Case& c : Cases) {
        ManualClock clock;
        AnsweringLine line(clock, reply);
        ModBrevane mod;
        mod.LastReply = previous;
        Exchange link(line, clock, mod);
        link.setTimeoutMs(100);
        const bool accepted = link.SendCommand(c.command, c.replyLength);

        const QByteArray body = QByteArray("00") + c.command + "]";
        FUZZ_REQUIRE(line.written.size() == body.size() + 3 && line.written.startsWith('[') &&
                         line.written.endsWith(body) &&
                         reference::hexValue(line.written.sliced(1), 2) ==
                             reference::frameChecksum(body),
                     "the frame sent is [ + checksum + 00 + command + ]");
        if (reply.size() >= c.replyLength) {
            // Taken as soon as enough had come: the first half, or the whole reply.
            const QByteArray expected =
                reply.size() / 2 >= c.replyLength ? reply.first(reply.size() / 2) : reply;
            FUZZ_REQUIRE(line.taken == expected && mod.LastReply == expected,
                         "LastReply is everything that had come in");
            FUZZ_REQUIRE(accepted == reference::carriesChecksum(expected),
                         "accepted exactly when it carries its checksum");
        } else {
            FUZZ_REQUIRE(!accepted, "a short reply is refused");
            FUZZ_REQUIRE(mod.LastReply == previous, "a timed-out exchange keeps LastReply");
        }
    }
    return 0;
}
