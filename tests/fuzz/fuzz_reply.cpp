// SendCommand over a line that answers with the fuzz input: accepted exactly when the reply
// carries its checksum; LastReply is what came in, or stays when the reply was short.

#include <cstddef>
#include <utility>

#include "link/exchange.h"
#include "link/protocol.h"
#include "tests/fuzz/reference.h"
#include "tests/support/fakeline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    FUZZ_REQUIRE(replyChecksumHolds(reply) == reference::carriesChecksum(reply),
                 "replyChecksumHolds agrees");
    const std::pair<const char*, int> cases[] = {{"3F00000023F", ChecksumReplyLength},
                                                 {"39002003F", BlockReadReplyLength},
                                                 {"38000003F", BlockWriteReplyLength}};
    for (const auto& [command, replyLength] : cases) {
        FakeClock clock;
        FakeLine line(clock);
        // Half the answer is there at once, the rest a moment later. Before the frame a
        // good reply to an earlier command waits, which the exchange must drop.
        line.setResponder([&reply](const QByteArray&, int) {
            return QList<Arrival>{{0, reply.first(reply.size() / 2)},
                                  {1, reply.sliced(reply.size() / 2)}};
        });
        line.open(1);
        line.arriveNow("[34DA90190E]");
        ModBrevane mod;
        mod.LastReply = "previous reply";
        Exchange link(line, clock, mod);
        link.setTimeoutMs(100);
        const bool accepted = link.SendCommand(command, replyLength);

        if (reply.size() < replyLength) {
            FUZZ_REQUIRE(!accepted && mod.LastReply == "previous reply",
                         "a short reply is refused and LastReply kept");
            continue;
        }
        // Taken as soon as enough had come: the first half, or the whole reply.
        const QByteArray expected =
            reply.size() / 2 >= replyLength ? reply.first(reply.size() / 2) : reply;
        FUZZ_REQUIRE(mod.LastReply == expected, "LastReply is everything that had come in");
        FUZZ_REQUIRE(accepted == reference::carriesChecksum(expected),
                     "accepted exactly when it carries its checksum");
    }
    return 0;
}
