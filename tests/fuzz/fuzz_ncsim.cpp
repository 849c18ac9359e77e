// The stand-in's frame assembler over any byte stream, in two pieces, without a fault and
// with each fault on every frame or on frame 2. Every reply carries a right checksum
// unless a fault that breaks it applies to that frame; a frame with a wrong checksum gets
// no reply; the bytes around a reply come only with their faults.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/fuzz/reference.h"
#include "tools/nc-sim/controller.h"

namespace {

constexpr FaultKind Kinds[] = {
    FaultKind::Silent, FaultKind::BadSum, FaultKind::Short, FaultKind::Extra, FaultKind::Lower,
    FaultKind::High,   FaultKind::Low,    FaultKind::Junk,  FaultKind::Stale, FaultKind::Hangup};

bool hasLowerCase(QByteArrayView bytes) {
    for (const char c : bytes) {
        if (c >= 'a' && c <= 'z') {
            return true;
        }
    }
    return false;
}

void check(const std::vector<Fault>& faults, const QByteArray& input) {
    const auto on = [&](FaultKind kind, int frame) {
        for (const Fault& f : faults) {
            if (f.kind == kind && (f.frame == 0 || f.frame == frame)) {
                return true;
            }
        }
        return false;
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
            FUZZ_REQUIRE(r.frame == lastFrame + 1, "frames counted one by one");
            lastFrame = r.frame;
            FUZZ_REQUIRE(r.bytes.startsWith('[') && r.bytes.endsWith(']') &&
                             r.bytes.size() <= Controller::MaxFrameLength,
                         "a frame runs from [ to ]");
            if (r.hangup) {
                FUZZ_REQUIRE(on(FaultKind::Hangup, r.frame), "hangs up only when asked");
                FUZZ_REQUIRE(r.reply.isEmpty() && i + 1 == received.size(),
                             "nothing after a hangup");
                return; // the line is gone
            }
            FUZZ_REQUIRE(!on(FaultKind::Hangup, r.frame), "a hangup asked for happens");
            if (!reference::carriesChecksum(r.bytes)) {
                FUZZ_REQUIRE(r.reply.isEmpty(), "a frame with a wrong checksum is ignored");
            }
            if (r.reply.isEmpty()) {
                FUZZ_REQUIRE(r.before.isEmpty() && r.after.isEmpty() && r.stale.isEmpty(),
                             "no bytes around a reply that is not sent");
                continue;
            }
            FUZZ_REQUIRE(!on(FaultKind::Silent, r.frame), "silent means no reply");
            if (on(FaultKind::BadSum, r.frame)) {
                FUZZ_REQUIRE(!reference::carriesChecksum(r.reply), "badsum breaks the checksum");
            } else if (!on(FaultKind::Short, r.frame)) {
                FUZZ_REQUIRE(reference::carriesChecksum(r.reply), "a reply carries its checksum");
                FUZZ_REQUIRE(r.reply.startsWith('[') && r.reply.endsWith(']'),
                             "a reply runs from [ to ]");
                FUZZ_REQUIRE(r.reply.size() == BlockWriteReplyLength ||
                                 r.reply.size() == ChecksumReplyLength ||
                                 r.reply.size() == BlockReadReplyLength,
                             "a reply has one of the three lengths");
            }
            FUZZ_REQUIRE(on(FaultKind::Lower, r.frame) || !hasLowerCase(r.reply),
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
    for (const FaultKind kind : Kinds) {
        check({{kind, 0}}, input);
        check({{kind, 2}}, input);
    }
    return 0;
}
