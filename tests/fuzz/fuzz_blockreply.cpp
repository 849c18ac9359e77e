// Block replies decoded for every block index and ones out of range: only the block's 64
// bytes change, each its two hex characters (AddressSanitizer watches the bytes around
// the table, which lives on the heap for that); then the checksum reply's two halves.

#include <cstddef>
#include <memory>

#include "link/exchange.h"
#include "link/protocol.h"
#include "tests/fuzz/reference.h"

namespace {

// The table byte that byte k of a block stands for: field 8 of every slot for the key
// block, else eight whole slots.
int tableOffset(int block, int k) {
    return block == ImageBlocks - 1 ? k * 9 + 8 : (block * 8 + k / 8) * 9 + k % 8;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CnfTable start{};
    for (std::size_t i = 0; i < start.size(); ++i) {
        start[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    for (int block = -2; block <= ImageBlocks + 1; ++block) {
        const auto table = std::make_unique<CnfTable>(start);
        decodeBlockReply(reply, block, *table);
        CnfTable expected = start;
        for (int k = 0; block >= 0 && block < ImageBlocks && k < BlockBytes; ++k) {
            expected[tableOffset(block, k)] =
                std::uint8_t(reference::hexValue(reply, 2, 3 + 2 * k));
        }
        FUZZ_REQUIRE(*table == expected, "the block's bytes are their hex characters");
    }
    const ChecksumHalves halves = decodeChecksumReply(reply);
    FUZZ_REQUIRE(halves.high == reference::hexValue(reply, 4, 3), "high half is characters 4-7");
    FUZZ_REQUIRE(halves.low == reference::hexValue(reply, 4, 7), "low half is characters 8-11");
    return 0;
}
