// The stand-in's frame assembler over any byte stream in two pieces, without a fault and
// with each fault on every frame or on frame 2: each fault shapes exactly what it names.

#include <QList>
#include <algorithm>
#include <cstddef>
#include <vector>

#include "tests/fuzz/reference.h"
#include "tools/nc-sim/controller.h"

namespace {

void check(const std::vector<Fault>& faults, const QByteArray& input) {
    const auto on = [&](FaultKind kind, int frame) {
        return !faults.empty() && faults[0].kind == kind &&
               (faults[0].frame == 0 || faults[0].frame == frame);
    };
    Controller controller(faults);
    int lastFrame = 0;
    const qsizetype half = input.size() / 2;
    for (const QByteArray& piece : {input.first(half), input.sliced(half)}) {
        const std::vector<Received> received = controller.feed(piece);
        for (std::size_t i = 0; i < received.size(); ++i) {
            const Received& r = received[i];
            if (r.frame == 0) {
                FUZZ_REQUIRE(r.reply.isEmpty() && !r.hangup, "discarded input gets no reply");
                continue;
            }
            FUZZ_REQUIRE(r.frame == ++lastFrame, "frames counted one by one");
            FUZZ_REQUIRE(r.bytes.startsWith('[') && r.bytes.endsWith(']') &&
                             r.bytes.size() <= Controller::MaxFrameLength,
                         "a frame runs from [ to ]");
            FUZZ_REQUIRE(r.hangup == on(FaultKind::Hangup, r.frame), "hangs up exactly when asked");
            if (r.hangup) {
                FUZZ_REQUIRE(r.reply.isEmpty() && i + 1 == received.size(),
                             "nothing after a hangup");
                return;
            }
            FUZZ_REQUIRE(reference::carriesChecksum(r.bytes) || r.reply.isEmpty(),
                         "a frame with a wrong checksum is ignored");
            if (r.reply.isEmpty()) {
                FUZZ_REQUIRE(r.before.isEmpty() && r.after.isEmpty() && r.stale.isEmpty(),
                             "no bytes around a reply that is not sent");
                continue;
            }
            FUZZ_REQUIRE(!on(FaultKind::Silent, r.frame), "silent means no reply");
            if (on(FaultKind::BadSum, r.frame)) {
                FUZZ_REQUIRE(!reference::carriesChecksum(r.reply), "badsum breaks the checksum");
            } else if (!on(FaultKind::Short, r.frame)) {
                FUZZ_REQUIRE(reference::carriesChecksum(r.reply) && r.reply.startsWith('[') &&
                                 r.reply.endsWith(']'),
                             "a reply runs from [ to ] and carries its checksum");
                FUZZ_REQUIRE(QList<qsizetype>(
                                 {BlockWriteReplyLength, ChecksumReplyLength, BlockReadReplyLength})
                                 .contains(r.reply.size()),
                             "a reply has one of the three lengths");
            }
            FUZZ_REQUIRE(on(FaultKind::Lower, r.frame) ||
                             std::none_of(r.reply.begin(), r.reply.end(),
                                          [](char c) { return c >= 'a' && c <= 'z'; }),
                         "upper-case digits unless asked");
            FUZZ_REQUIRE(r.before.isEmpty() != on(FaultKind::Junk, r.frame), "junk only if asked");
            FUZZ_REQUIRE(r.after.isEmpty() != on(FaultKind::Extra, r.frame), "extra only if asked");
            FUZZ_REQUIRE(r.stale.isEmpty() != on(FaultKind::Stale, r.frame), "stale only if asked");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    check({}, input);
    for (int kind = 0; kind <= int(FaultKind::Hangup); ++kind) {
        check({{FaultKind(kind), 0}}, input);
        check({{FaultKind(kind), 2}}, input);
    }
    return 0;
}
