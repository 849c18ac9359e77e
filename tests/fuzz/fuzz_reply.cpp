// The real SendCommand over a line that answers with the fuzz input, and
// replyChecksumHolds on its own: a reply is accepted exactly when it carries its checksum,
// and LastReply is what came in, or stays as it was when the reply was short.

#include <QByteArray>
#include <cstddef>
#include <utility>

#include "link/exchange.h"
#include "link/protocol.h"
#include "platform/clock.h"
#include "platform/serialport.h"
#include "tests/fuzz/reference.h"

namespace {

class ManualClock final : public TimeoutClock {
public:
    void restart() override { m_start = now; }
    qint64 elapsedMs() const override { return now - m_start; }
    qint64 now = 0;

private:
    qint64 m_start = 0;
};

// A good reply to an earlier command waits until the frame goes out (the exchange must
// drop it); then half the answer is waiting and the rest comes with the first wait.
class AnsweringLine final : public SerialPort {
public:
    AnsweringLine(ManualClock& clock, QByteArray answer)
        : m_clock(clock), m_answer(std::move(answer)) {}

    bool open(int) override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
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
        m_clock.now += m_rest.isEmpty() ? ms : 1;
        const bool more = !m_rest.isEmpty();
        m_buffer += std::exchange(m_rest, {});
        return more;
    }
    bool failed() const override { return false; }

    QByteArray written;
    QByteArray taken;

private:
    ManualClock& m_clock;
    QByteArray m_answer;
    QByteArray m_buffer = "[34DA90190E]";
    QByteArray m_rest;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    FUZZ_REQUIRE(replyChecksumHolds(reply) == reference::carriesChecksum(reply),
                 "replyChecksumHolds agrees");
    const std::pair<const char*, int> cases[] = {{"3F00000023F", ChecksumReplyLength},
                                                 {"39002003F", BlockReadReplyLength},
                                                 {"38000003F", BlockWriteReplyLength}};
    for (const auto& [command, replyLength] : cases) {
        ManualClock clock;
        AnsweringLine line(clock, reply);
        ModBrevane mod;
        mod.LastReply = "previous reply";
        Exchange link(line, clock, mod);
        link.setTimeoutMs(100);
        const bool accepted = link.SendCommand(command, replyLength);

        const QByteArray body = QByteArray("00") + command + "]";
        FUZZ_REQUIRE(line.written.size() == body.size() + 3 && line.written.startsWith('[') &&
                         line.written.endsWith(body) &&
                         reference::hexValue(line.written, 2, 1) == reference::frameChecksum(body),
                     "the frame sent is [ + checksum + 00 + command + ]");
        if (reply.size() < replyLength) {
            FUZZ_REQUIRE(!accepted && mod.LastReply == "previous reply",
                         "a short reply is refused and LastReply kept");
            continue;
        }
        // Taken as soon as enough had come: the first half, or the whole reply.
        const QByteArray expected =
            reply.size() / 2 >= replyLength ? reply.first(reply.size() / 2) : reply;
        FUZZ_REQUIRE(line.taken == expected && mod.LastReply == expected,
                     "LastReply is everything that had come in");
        FUZZ_REQUIRE(accepted == reference::carriesChecksum(expected),
                     "accepted exactly when it carries its checksum");
    }
    return 0;
}
