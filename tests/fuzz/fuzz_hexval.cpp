// HexVal2 and HexVal4 on any text: always in range, and the value of the leading hex
// digits (at most two or four, either case), 0 when there are none.

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>

#include "table/hextext.h"
#include "tests/fuzz/reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::int32_t two = HexVal2(text);
    const std::int32_t four = HexVal4(text);
    FUZZ_REQUIRE(two >= 0 && two <= 0xFF, "HexVal2 in 0..255");
    FUZZ_REQUIRE(four >= 0 && four <= 0xFFFF, "HexVal4 in 0..65535");
    FUZZ_REQUIRE(two == reference::hexValue(text, 2), "HexVal2 reads the first two digits");
    FUZZ_REQUIRE(four == reference::hexValue(text, 4), "HexVal4 reads the first four digits");
    return 0;
}
