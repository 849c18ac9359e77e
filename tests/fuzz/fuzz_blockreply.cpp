// Block replies decoded into the table: every block index (and ones out of range) over
// the same reply. Decoding writes only the 64 table bytes of its block, each the value of
// its two hex characters; guard bytes around the table and every other byte stay as
// they were.

#include <QByteArray>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "link/exchange.h"
#include "link/protocol.h"
#include "tests/fuzz/reference.h"

namespace {

struct GuardedTable {
    std::array<std::uint8_t, 64> before;
    CnfTable table;
    std::array<std::uint8_t, 64> after;
};

// The table byte that byte k of a block stands for.
int tableOffset(int block, int k) {
    const bool keyBlock = block == ImageBlocks - 1;
    const int slot = keyBlock ? k : block * 8 + k / 8;
    const int field = keyBlock ? 8 : k % 8;
    return slot * 9 + field;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    GuardedTable start{};
    for (std::size_t i = 0; i < start.before.size(); ++i) {
        start.before[i] = static_cast<std::uint8_t>(0xB0 ^ i);
        start.after[i] = static_cast<std::uint8_t>(0xA0 ^ i);
    }
    for (std::size_t i = 0; i < start.table.size(); ++i) {
        start.table[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }

    for (int block = -2; block <= ImageBlocks + 1; ++block) {
        auto guarded = std::make_unique<GuardedTable>(start);
        decodeBlockReply(reply, block, guarded->table);
        FUZZ_REQUIRE(guarded->before == start.before, "nothing written before the table");
        FUZZ_REQUIRE(guarded->after == start.after, "nothing written after the table");

        std::array<bool, CnfBytes> decoded{};
        if (block >= 0 && block < ImageBlocks) {
            for (int k = 0; k < BlockBytes; ++k) {
                const int offset = tableOffset(block, k);
                decoded[offset] = true;
                FUZZ_REQUIRE(guarded->table[offset] ==
                                 reference::hexValue(reference::tail(reply, 3 + 2 * k), 2),
                             "a decoded byte is its two hex characters");
            }
        }
        for (int offset = 0; offset < CnfBytes; ++offset) {
            FUZZ_REQUIRE(decoded[offset] || guarded->table[offset] == start.table[offset],
                         "bytes outside the block unchanged");
        }
    }

    const ChecksumHalves halves = decodeChecksumReply(reply);
    FUZZ_REQUIRE(halves.high >= 0 && halves.high <= 0xFFFF, "high half in 0..65535");
    FUZZ_REQUIRE(halves.low >= 0 && halves.low <= 0xFFFF, "low half in 0..65535");
    FUZZ_REQUIRE(halves.high == reference::hexValue(reference::tail(reply, 3), 4),
                 "high half is characters 4-7");
    FUZZ_REQUIRE(halves.low == reference::hexValue(reference::tail(reply, 7), 4),
                 "low half is characters 8-11");
    return 0;
}
